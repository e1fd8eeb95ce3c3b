#include "pipeline/compile_run.h"

#include <limits>

namespace vostrel {

std::string_view CompileRun::Line(std::int32_t n) const {
  if (n < 1 || static_cast<std::size_t>(n) > WorkLines.size()) return {};
  return WorkLines[static_cast<std::size_t>(n - 1)];
}

std::string* CompileRun::MutableLine(std::int32_t n) {
  if (n < 1 || static_cast<std::size_t>(n) > WorkLines.size()) return nullptr;
  return &WorkLines[static_cast<std::size_t>(n - 1)];
}

void CompileRun::SetLine(std::int32_t n, std::string text) {
  if (std::string* line = MutableLine(n)) *line = std::move(text);
}

std::int32_t CompileRun::CountLines() {
  const std::size_t max = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
  LineCount = static_cast<std::int32_t>(WorkLines.size() < max ? WorkLines.size() : max);
  return LineCount;
}

void CompileRun::Reset() {
  WorkLines.clear();
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
