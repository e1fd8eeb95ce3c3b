// ﾃﾞｰﾀ整理: the empty lines left by earlier stages go, as End_set says:
// "N" deletes every empty line, "Y" only those before the first line with
// data, any other value none.

#include <algorithm>
#include <vector>

#include "pipeline/compile_run.h"
#include "pipeline/stage_frame.h"
#include "pipeline/stages/stages.h"

namespace vostrel {

StageEnd RunTidyUp(CompileRun& run, StageFrame& frame) {
  frame.StartProgress(run.CountLines());
  frame.AppendLog("ﾃﾞｰﾀ整理 -- 開始");
  frame.ShowActivity("データ整理中");
  if (run.LineCount > 0) frame.HighlightLine(run.LineCount);

  // From the last line back to the first. Kept lines are packed towards the
  // end of the list as the loop goes, so lines still to be visited keep
  // their numbers and the list is cut once at the end (deleting lines one
  // by one would move the rest of the list each time).
  // Each kept line takes its source line along.
  const bool deleteEmpty = run.Options->End_set == "N";
  TextLines& lines = run.WorkLines;
  // The source map is filled in when the first line goes: no line has
  // moved before that.
  std::vector<std::int32_t>* origins = nullptr;
  bool mapped = false;
  std::size_t keep = 0;
  if (deleteEmpty) {
    keep = static_cast<std::size_t>(run.LineCount);
    for (std::int32_t n = run.LineCount; n >= 1; --n) {
      frame.HighlightLine(n);
      const std::size_t index = static_cast<std::size_t>(n - 1);
      if (lines[index].empty()) {
        if (!origins) {
          origins = &run.Origins();
          mapped = origins->size() == lines.size() && !origins->empty();
        }
      } else if (--keep != index) {
        lines.move_line(keep, index);
        if (mapped) (*origins)[keep] = (*origins)[index];
      }
      frame.ShowLineProgress(n, "行目 :ｺﾝﾊﾟｲﾙ後ﾃﾞｰﾀ整理中");
    }
  } else if (run.LineCount >= 1) {
    // No line goes and none moves: the walk is shown at its end, where a
    // walk over every line would leave it.
    frame.HighlightLine(1);
    frame.ShowLineProgress(1, "行目 :ｺﾝﾊﾟｲﾙ後ﾃﾞｰﾀ整理中");
  }
  if (keep > 0) {
    lines.erase_front(keep);
    if (mapped) origins->erase(origins->begin(), origins->begin() + static_cast<std::ptrdiff_t>(keep));
    frame.WorkTextReplaced();
  }
  frame.AppendLog("ﾃﾞｰﾀ整理 -- 完了");
  frame.AppendLog("");

  if (run.Options->End_set == "Y") {
    const auto firstData = std::find_if(lines.begin(), lines.end(),
                                        [](std::string_view line) { return !line.empty(); });
    if (firstData != lines.begin()) {
      const auto gone = firstData - lines.begin();
      std::vector<std::int32_t>& leading = run.Origins();
      if (leading.size() == lines.size()) leading.erase(leading.begin(), leading.begin() + gone);
      lines.erase_front(static_cast<std::size_t>(gone));
      frame.WorkTextReplaced();
      frame.LetEventsRun();
    }
  }
  return StageEnd::Continue;
}

}  // namespace vostrel
