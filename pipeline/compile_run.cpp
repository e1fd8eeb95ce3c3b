#include "pipeline/compile_run.h"

#include <limits>

namespace vostrel {

std::int32_t CompileRun::CountLines() {
  const std::size_t max = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
  LineCount = static_cast<std::int32_t>(WorkLines.size() < max ? WorkLines.size() : max);
  return LineCount;
}

void CompileRun::SetLoadedLines(TextLines lines) {
  WorkLines = std::move(lines);
  LineOrigins.clear();
  LinesAreSourceLines = !WorkLines.empty();
}

std::vector<std::int32_t>& CompileRun::Origins() {
  if (LinesAreSourceLines) {
    LinesAreSourceLines = false;
    LineOrigins.resize(WorkLines.size());
    for (std::size_t i = 0; i < LineOrigins.size(); ++i) LineOrigins[i] = static_cast<std::int32_t>(i + 1);
  }
  return LineOrigins;
}

std::vector<std::int32_t> CompileRun::SourceLines() const {
  if (!LinesAreSourceLines) return LineOrigins;
  std::vector<std::int32_t> lines(WorkLines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) lines[i] = static_cast<std::int32_t>(i + 1);
  return lines;
}

void CompileRun::SetWholeText(std::string_view text) {
  const bool mapped = HasSourceMap();
  if (mapped) Origins();
  std::vector<std::int32_t> origins;
  if (mapped && LineOrigins.size() == WorkLines.size()) {
    // The old line in which the byte after each LF stands.
    std::vector<std::size_t> lineAfterLf;
    for (std::size_t i = 0; i < WorkLines.size(); ++i) {
      for (const char c : WorkLines[i])
        if (c == '\n') lineAfterLf.push_back(i);
      if (i + 1 < WorkLines.size()) lineAfterLf.push_back(i + 1);
    }
    if (!text.empty()) origins.push_back(LineOrigins.front());
    std::size_t rank = 0;
    for (std::size_t p = 0; p < text.size(); ++p) {
      if (text[p] != '\n') continue;
      if (p > 0 && text[p - 1] == '\r') {
        const std::size_t old = rank < lineAfterLf.size() ? lineAfterLf[rank] : WorkLines.size() - 1;
        origins.push_back(LineOrigins[old]);
      }
      ++rank;
    }
  }
  WorkLines = SplitAtCrLf(text);
  if (!mapped) return;
  // Should a replacement ever add or remove an LF, no line claims a place.
  if (origins.size() != WorkLines.size()) origins.assign(WorkLines.size(), 0);
  LineOrigins = std::move(origins);
}

void CompileRun::Reset() {
  ClearLines();
  SourceSize = 0;
  SourcePath.clear();
  Source.Reset({});
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
