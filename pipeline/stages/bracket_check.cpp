// 括弧ﾁｪｯｸ: on every line "[" must occur as often as "]" and "(" as often
// as ")". Only the counts are compared, byte by byte, and unbalanced lines
// are reported without stopping the run.

#include <cstring>

#include "pipeline/compile_run.h"
#include "pipeline/stage_frame.h"
#include "pipeline/stages/stages.h"

namespace vostrel {

namespace {

// Occurrences of one byte, found with memchr (lines are mostly free of
// brackets, so this beats a byte-by-byte switch).
int CountByte(std::string_view line, char c) {
  int count = 0;
  const char* p = line.data();
  const char* const end = p + line.size();
  while (p < end && (p = static_cast<const char*>(std::memchr(p, c, static_cast<std::size_t>(end - p))))) {
    ++count;
    ++p;
  }
  return count;
}

bool HasBracket(std::string_view line) {
  for (char c : {'[', ']', '(', ')'})
    if (!line.empty() && std::memchr(line.data(), c, line.size())) return true;
  return false;
}

}  // namespace

BracketCounts CountBrackets(std::string_view line) {
  BracketCounts counts;
  counts.openSquare = CountByte(line, '[');
  counts.closeSquare = CountByte(line, ']');
  counts.openRound = CountByte(line, '(');
  counts.closeRound = CountByte(line, ')');
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
