// 括弧ﾁｪｯｸ: on every line "[" must occur as often as "]" and "(" as often
// as ")". Only the counts are compared, byte by byte, and unbalanced lines
// are reported without stopping the run.

#include "pipeline/compile_run.h"
#include "pipeline/stage_frame.h"
#include "pipeline/stages/stages.h"

namespace vostrel {

namespace {

bool HasBracket(std::string_view line) {
  return line.find_first_of("[(])") != std::string_view::npos;
}

}  // namespace

BracketCounts CountBrackets(std::string_view line) {
  BracketCounts counts;
  for (char c : line) {
    switch (c) {
      case '[': ++counts.openSquare; break;
      case ']': ++counts.closeSquare; break;
      case '(': ++counts.openRound; break;
      case ')': ++counts.closeRound; break;
      default: break;
    }
  }
  return counts;
}

StageEnd RunBracketCheck(CompileRun& run, StageFrame& frame) {
  run.BracketErrorCount = 0;
  frame.StartProgress(run.LineCount);
  frame.AppendLog("括弧ﾁｪｯｸ -- 開始");
  frame.ShowActivity("括弧ﾁｪｯｸ中");
  frame.HighlightLine(1);

  // The whole-text pre-check, line by line; lines before the first one
  // with a bracket have none to count.
  std::int32_t first = 1;
  while (first <= run.LineCount && !HasBracket(run.Line(first))) ++first;

  if (first > run.LineCount) {
    frame.AppendLog("括弧ﾁｪｯｸ -- 無し");
  } else {
    for (std::int32_t n = 1; n <= run.LineCount; ++n) {
      frame.HighlightLine(n);
      if (n >= first) {
        const BracketCounts counts = CountBrackets(run.Line(n));
        if (counts.openSquare != counts.closeSquare) {
          frame.AppendLog(std::to_string(n) + "行目 []の数が合いません。");
          ++run.BracketErrorCount;
        }
        if (counts.openRound != counts.closeRound) {
          frame.AppendLog(std::to_string(n) + "行目 ()の数が合いません。");
          ++run.BracketErrorCount;
        }
      }
      frame.ShowLineProgress(n, "行目 :括弧ﾁｪｯｸ中");
    }
  }
  frame.AppendLog("括弧ﾁｪｯｸ -- 完了");
  frame.AppendLog("括弧ｴﾗｰ数 = " + std::to_string(run.BracketErrorCount) + "件");
  frame.AppendLog("");
  return StageEnd::Continue;
}

}  // namespace vostrel
