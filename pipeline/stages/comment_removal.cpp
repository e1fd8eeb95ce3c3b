// ｺﾒﾝﾄ削除: a ";" comment runs from the first ";" to the end of its line.

#include "pipeline/compile_run.h"
#include "pipeline/stage_frame.h"
#include "pipeline/stages/stages.h"

namespace vostrel {

namespace {
// The comment rule applied in place, so that a comment line needs no new
// string.
void CutComment(std::string& line) {
  // ";" never occurs inside a double-byte character: a byte search is exact.
  const std::size_t p = line.find(';');
  if (p == 0) line = " ";
  else if (p != std::string::npos) line.resize(p);
}
}  // namespace

std::string StripComment(std::string_view line) {
  std::string stripped(line);
  CutComment(stripped);
  return stripped;
}

StageEnd RunCommentRemoval(CompileRun& run, StageFrame& frame) {
  frame.AppendLog("ｺﾒﾝﾄ削除 -- 開始");
  frame.StartProgress(run.CountLines());
  frame.ShowActivity("ｺﾒﾝﾄ削除");
  frame.HighlightLine(1);
  for (std::int32_t n = 1; n <= run.LineCount; ++n) {
    frame.HighlightLine(n);
    std::string* line = run.MutableLine(n);
    if (line) CutComment(*line);
    frame.ShowLineProgress(n, "行目 :ｺﾒﾝﾄ削除");
  }
  frame.AppendLog("ｺﾒﾝﾄ削除 -- 完了");
  frame.AppendLog("");
  return StageEnd::Continue;
}

}  // namespace vostrel
