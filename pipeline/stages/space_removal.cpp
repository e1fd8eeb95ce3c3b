// ｽﾍﾟｰｽ削除: spaces and the "$" markers of one-byte names go, except
// between "(" and ")", whose remark text reaches the output as written.

#include <algorithm>
#include <cstring>
#include <span>
#include <utility>

#include "pipeline/compile_run.h"
#include "pipeline/stage_frame.h"
#include "pipeline/stages/stages.h"
#include "text/sjis.h"

namespace vostrel {

namespace {

bool Contains(std::string_view line, char c) {
  return !line.empty() && std::memchr(line.data(), c, line.size()) != nullptr;
}

inline bool IsSpaceOrMarker(char c) { return c == ' ' || c == '$'; }

// Neither a space nor "$" can be the second byte of a double-byte
// character, so deleting the bytes is exactly deleting the characters. The
// kept bytes are packed to the front; returns how many there are.
std::size_t RemoveSpacesAndMarkers(std::span<char> text) {
  // Every byte is written and a kept one moves the end on: no branch to
  // guess. The bytes go to a small buffer first and back in one copy:
  // writing into the bytes still being read stalls the loads behind each
  // store. What is written back never passes what was read.
  constexpr std::size_t kPiece = 256;
  char kept[kPiece];
  char* const p = text.data();
  std::size_t end = 0;
  for (std::size_t from = 0; from < text.size(); from += kPiece) {
    const std::size_t piece = std::min(kPiece, text.size() - from);
    std::size_t count = 0;
    for (std::size_t i = 0; i < piece; ++i) {
      const char c = p[from + i];
      kept[count] = c;
      count += !IsSpaceOrMarker(c);
    }
    std::memmove(p + end, kept, count);
    end += count;
  }
  return end;
}

// What a line may hold once bytes were taken out of it: nothing new, but
// bytes that stood apart may now stand side by side.
LineSummary AfterRemoval(LineSummary before) { return before | kHoldsHexMarker | kHoldsLongWord; }

// Whether the line mode may change line i: it holds a space or "$", or a
// blank (a byte of 32 or below) at either end.
bool MayChange(const TextLines& lines, std::size_t i) {
  if (lines.may_hold(i, kHoldsSpace | kHoldsDollar)) return true;
  const std::string_view line = lines[i];
  return !line.empty() && (static_cast<unsigned char>(line.front()) <= 32 || static_cast<unsigned char>(line.back()) <= 32);
}

}  // namespace

std::pair<std::size_t, std::size_t> RemoveSpacesOnLine(std::span<char> line, bool mayHoldOpenRound) {
  // Trim bytes of value 32 and below at both ends (bytes of 128 and above
  // are characters, never blanks).
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  std::size_t end = line.size();
  while (end > 0 && blank(line[end - 1])) --end;
  std::size_t begin = 0;
  while (begin < end && blank(line[begin])) ++begin;
  const std::span<char> trimmed = line.subspan(begin, end - begin);

  if (!mayHoldOpenRound || !Contains(std::string_view(trimmed.data(), trimmed.size()), '('))
    return {begin, RemoveSpacesAndMarkers(trimmed)};
  // From the last byte back to the first: a ")" opens the protected part,
  // the "(" before it closes it again. Kept bytes are packed towards the
  // end of the line, and the line then starts after the freed front.
  bool inside = false;
  std::size_t keep = end;
  for (std::size_t i = end; i-- > begin;) {
    const char c = line[i];
    if (c == ')') inside = true;
    if (c == '(') inside = false;
    if (IsSpaceOrMarker(c) && !inside) continue;
    line[--keep] = c;
  }
  return {keep, end - keep};
}

void RemoveSpacesOnLine(std::string& line) {
  const auto [offset, length] = RemoveSpacesOnLine(std::span<char>(line));
  line = line.substr(offset, length);
}

StageEnd RunSpaceRemoval(CompileRun& run, StageFrame& frame) {
  frame.StartProgress(run.LineCount);
  frame.AppendLog("ｽﾍﾟｰｽ削除 -- 開始");
  frame.ShowActivity("スペース削除中");
  frame.HighlightLine(1);

  const TextLines& lines = run.WorkLines;
  auto anyLineHolds = [&lines](LineSummary what, char c) {
    for (std::size_t i = 0; i < lines.size(); ++i)
      if (lines.may_hold(i, what) && Contains(lines[i], c)) return true;
    return false;
  };
  const bool lineMode = anyLineHolds(kHoldsOpenRound, '(');
  if (lineMode) {
    for (std::int32_t n = 1; n <= run.LineCount; ++n) {
      frame.HighlightLine(n);
      const std::size_t i = static_cast<std::size_t>(n - 1);
      if (i < run.WorkLines.size() && MayChange(run.WorkLines, i)) {
        const LineSummary summary = run.WorkLines.summary(i);
        const auto [offset, length] = RemoveSpacesOnLine(run.WorkLines.bytes(i), summary & kHoldsOpenRound);
        run.WorkLines.narrow(i, offset, length);
        run.WorkLines.set_summary(i, AfterRemoval(summary));
      }
      frame.ShowLineProgress(n, "行目 :ｽﾍﾟｰｽ削除中");
    }
    frame.WorkTextReplaced();
  } else {
    frame.ShowBusy(true);
    const bool anyLineFeed = anyLineHolds(kHoldsLf, '\n');
    if (anyLineFeed) {
      std::string text = run.WholeText();
      text.resize(RemoveSpacesAndMarkers(text));
      run.SetWholeText(text);
    } else {
      // Deleting spaces and "$" from the whole text and setting it back,
      // done line by line in place: with no LF inside a line every LF of the
      // whole text is the LF of a CR LF between lines, and neither of those
      // two bytes is deleted, so the text splits at the same places. The
      // one exception is the empty whole text, which sets back as no lines.
      for (std::size_t i = 0; i < run.WorkLines.size(); ++i) {
        const LineSummary summary = run.WorkLines.summary(i);
        if (!(summary & (kHoldsSpace | kHoldsDollar))) continue;
        run.WorkLines.narrow(i, 0, RemoveSpacesAndMarkers(run.WorkLines.bytes(i)));
        run.WorkLines.set_summary(i, AfterRemoval(summary));
      }
      if (run.WorkLines.size() == 1 && run.WorkLines.front().empty()) run.ClearLines();
    }
    frame.WorkTextReplaced();
    frame.ShowBusy(false);
  }
  frame.AppendLog("ｽﾍﾟｰｽ削除 -- 完了");
  frame.AppendLog("");
  return StageEnd::Continue;
}

}  // namespace vostrel
