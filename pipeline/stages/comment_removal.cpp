// ｺﾒﾝﾄ削除: a ";" comment runs from the first ";" to the end of its line.

#include <cstring>

#include "pipeline/compile_run.h"
#include "pipeline/stage_frame.h"
#include "pipeline/stages/line_walk.h"
#include "pipeline/stages/stages.h"

namespace vostrel {

namespace {
// Where the comment rule cuts the line: the length kept, and whether the
// line was all comment (it then becomes one space).
// ";" never occurs inside a double-byte character: a byte search is exact.
std::size_t CommentStart(std::string_view line) {
  const void* semicolon = line.empty() ? nullptr : std::memchr(line.data(), ';', line.size());
  return semicolon ? static_cast<std::size_t>(static_cast<const char*>(semicolon) - line.data())
                   : std::string_view::npos;
}
}  // namespace

std::string StripComment(std::string_view line) {
  const std::size_t p = CommentStart(line);
  if (p == 0) return " ";
  return std::string(line.substr(0, p));
}

StageEnd RunCommentRemoval(CompileRun& run, StageFrame& frame) {
  frame.AppendLog("ｺﾒﾝﾄ削除 -- 開始");
  frame.StartProgress(run.CountLines());
  frame.ShowActivity("ｺﾒﾝﾄ削除");
  frame.HighlightLine(1);
  WalkLinesHolding(
      run, kHoldsSemicolon, [&](std::int32_t n) { frame.HighlightLine(n); },
      [&](std::int32_t n) {
        // Cut in place: a comment line needs no new room.
        const auto i = static_cast<std::size_t>(n - 1);
        const std::size_t p = CommentStart(run.WorkLines[i]);
        if (p == 0) run.WorkLines.assign(i, " ");
        else if (p != std::string_view::npos) run.WorkLines.narrow(i, 0, p);
        return n;
      },
      [&](std::int32_t n) { frame.ShowLineProgress(n, "行目 :ｺﾒﾝﾄ削除"); });
  frame.AppendLog("ｺﾒﾝﾄ削除 -- 完了");
  frame.AppendLog("");
  return StageEnd::Continue;
}

}  // namespace vostrel
