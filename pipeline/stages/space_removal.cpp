// ｽﾍﾟｰｽ削除: spaces and the "$" markers of one-byte names go, except
// between "(" and ")", whose remark text reaches the output as written.

#include <algorithm>
#include <cstring>

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
// character, so deleting the bytes is exactly deleting the characters.
void RemoveSpacesAndMarkers(std::string& text) {
  if (!Contains(text, ' ') && !Contains(text, '$')) return;
  text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return IsSpaceOrMarker(c); }),
             text.end());
}

}  // namespace

void RemoveSpacesOnLine(std::string& line) {
  // Trim bytes of value 32 and below at both ends (bytes of 128 and above
  // are characters, never blanks).
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  std::size_t end = line.size();
  while (end > 0 && blank(line[end - 1])) --end;
  std::size_t begin = 0;
  while (begin < end && blank(line[begin])) ++begin;
  line.erase(end);
  line.erase(0, begin);

  if (!Contains(line, '(')) {
    RemoveSpacesAndMarkers(line);
    return;
  }
  // From the last byte back to the first: a ")" opens the protected part,
  // the "(" before it closes it again. Kept bytes are packed towards the
  // end of the line, then the freed front is cut off.
  bool inside = false;
  std::size_t keep = line.size();
  for (std::size_t i = line.size(); i-- > 0;) {
    const char c = line[i];
    if (c == ')') inside = true;
    if (c == '(') inside = false;
    if (IsSpaceOrMarker(c) && !inside) continue;
    line[--keep] = c;
  }
  line.erase(0, keep);
}

StageEnd RunSpaceRemoval(CompileRun& run, StageFrame& frame) {
  frame.StartProgress(run.LineCount);
  frame.AppendLog("ｽﾍﾟｰｽ削除 -- 開始");
  frame.ShowActivity("スペース削除中");
  frame.HighlightLine(1);

  const bool lineMode = std::any_of(run.WorkLines.begin(), run.WorkLines.end(),
                                    [](const std::string& line) { return Contains(line, '('); });
  if (lineMode) {
    for (std::int32_t n = 1; n <= run.LineCount; ++n) {
      frame.HighlightLine(n);
      if (std::string* line = run.MutableLine(n)) RemoveSpacesOnLine(*line);
      frame.ShowLineProgress(n, "行目 :ｽﾍﾟｰｽ削除中");
    }
    frame.WorkTextReplaced();
  } else {
    frame.ShowBusy(true);
    const bool anyLineFeed = std::any_of(run.WorkLines.begin(), run.WorkLines.end(),
                                         [](const std::string& line) { return Contains(line, '\n'); });
    if (anyLineFeed) {
      std::string text = run.WholeText();
      RemoveSpacesAndMarkers(text);
      run.SetWholeText(text);
    } else {
      // Deleting spaces and "$" from the whole text and setting it back,
      // done line by line in place: with no LF inside a line every LF of the
      // whole text is the LF of a CR LF between lines, and neither of those
      // two bytes is deleted, so the text splits at the same places. The
      // one exception is the empty whole text, which sets back as no lines.
      for (auto& line : run.WorkLines) RemoveSpacesAndMarkers(line);
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
