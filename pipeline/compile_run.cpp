#include "pipeline/compile_run.h"

#include <limits>

namespace vostrel {

std::int32_t CompileRun::CountLines() {
  const std::size_t max = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
  LineCount = static_cast<std::int32_t>(WorkLines.size() < max ? WorkLines.size() : max);
  return LineCount;
}

void CompileRun::Reset() {
  WorkLines.clear();
  SourceSize = 0;
  LineCount = 0;
  RunLog.clear();
  CancelFlag = false;
  DefinitionTable.clear();
  DefinitionCount = 0;
  MaxNameLength = 0;
  CheckWordList.clear();
  BracketErrorCount = 0;
  SyntaxErrorCount = 0;
}

}  // namespace vostrel
