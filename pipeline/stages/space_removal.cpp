// ｽﾍﾟｰｽ削除: spaces and the "$" markers of one-byte names go, except
// between "(" and ")", whose remark text reaches the output as written.

#include <algorithm>
#include <cstring>
#include <span>
#include <utility>

#include "pipeline/byte_masks.h"
#include "pipeline/compile_run.h"
#include "pipeline/stage_frame.h"
#include "pipeline/stages/stages.h"
#include "text/sjis.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vostrel {

namespace {

bool Contains(std::string_view line, char c) {
  return !line.empty() && std::memchr(line.data(), c, line.size()) != nullptr;
}

inline bool IsSpaceOrMarker(char c) { return c == ' ' || c == '$'; }

// Neither a space nor "$" can be the second byte of a double-byte
// character, so deleting the bytes is exactly deleting the characters. The
// kept bytes are packed to the front; returns how many there are.
// Bytes `from` to `n` one by one, packed from `end` on: every byte is
// written and a kept one moves the end on (no branch to guess). What is
// written never passes what was read.
inline std::size_t PackOneByOne(char* p, std::size_t from, std::size_t n, std::size_t end) {
  for (; from < n; ++from) {
    const char c = p[from];
    p[end] = c;
    end += !IsSpaceOrMarker(c);
  }
  return end;
}

#if defined(__SSE2__)
// Sixteen bytes a turn (the last few one by one). Each kept byte moves left by the number of deleted
// bytes before it, in steps of 1, 2, 4 and 8 bytes (a step moves the bytes
// whose count has that bit; a byte that moved leaves a copy that never
// moves again); no two kept bytes ever land on one place. The packed block
// is stored whole: it ends no later than the bytes already read.
#if defined(__GNUC__)
[[gnu::always_inline]]
#endif
inline __m128i PackKept(__m128i v, __m128i gone, int goneCount) {
  const __m128i one = _mm_set1_epi8(1);
  // How many deleted bytes stand at or before each byte.
  __m128i count = _mm_and_si128(gone, one);
  count = _mm_add_epi8(count, _mm_slli_si128(count, 1));
  count = _mm_add_epi8(count, _mm_slli_si128(count, 2));
  count = _mm_add_epi8(count, _mm_slli_si128(count, 4));
  count = _mm_add_epi8(count, _mm_slli_si128(count, 8));
  count = _mm_andnot_si128(gone, count);
  auto step = [&](int bit, auto shift) {
    const __m128i bitBytes = _mm_set1_epi8(static_cast<char>(bit));
    const __m128i moves = _mm_cmpeq_epi8(_mm_and_si128(count, bitBytes), bitBytes);
    const __m128i arrives = shift(moves);
    v = _mm_or_si128(_mm_and_si128(arrives, shift(v)), _mm_andnot_si128(arrives, v));
    count = _mm_or_si128(_mm_and_si128(arrives, shift(count)), _mm_andnot_si128(_mm_or_si128(arrives, moves), count));
  };
  step(1, [](__m128i x) { return _mm_srli_si128(x, 1); });
  if (goneCount >= 2) step(2, [](__m128i x) { return _mm_srli_si128(x, 2); });
  if (goneCount >= 4) step(4, [](__m128i x) { return _mm_srli_si128(x, 4); });
  if (goneCount >= 8) step(8, [](__m128i x) { return _mm_srli_si128(x, 8); });
  return v;
}

inline __m128i SpacesAndMarkers(__m128i v) {
  return _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(' ')), _mm_cmpeq_epi8(v, _mm_set1_epi8('$')));
}

std::size_t RemoveSpacesAndMarkers(std::span<char> text) {
  char* const p = text.data();
  const std::size_t n = text.size();
  std::size_t end = 0, from = 0;
  for (; from + 16 <= n; from += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + from));
    const __m128i gone = SpacesAndMarkers(v);
    const int goneCount = CountMaskBits(static_cast<unsigned>(_mm_movemask_epi8(gone)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + end), goneCount == 0 ? v : PackKept(v, gone, goneCount));
    end += static_cast<std::size_t>(16 - goneCount);
  }
  return PackOneByOne(p, from, n, end);
}
#else
std::size_t RemoveSpacesAndMarkers(std::span<char> text) { return PackOneByOne(text.data(), 0, text.size(), 0); }
#endif

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
