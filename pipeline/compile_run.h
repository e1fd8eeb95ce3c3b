#pragma once
// The state of one compile run, shared by all stages.

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "pipeline/run_options.h"
#include "pipeline/text_lines.h"

namespace vostrel {

// One row of the definition table.
struct Definition {
  std::string Name;      // one or more bytes, no space; compared byte for byte
  std::string Value;     // trimmed; "$" + value + "$" for a one-byte name
  int NameLength = 0;    // byte length of Name
  int ScopeStartLine = 1;  // 1-based line from which a one-byte name is replaced
};

struct CompileRun {
  explicit CompileRun(const RunOptions& options) : Options(&options) {}

  // The live run options of the front end (read when a stage is reached).
  const RunOptions* Options;

  std::string TargetPath;
  TextLines WorkLines;
  std::size_t SourceSize = 0;  // bytes of the loaded source file
  std::int32_t LineCount = 0;
  std::vector<std::string> RunLog;  // UTF-8 lines
  std::atomic<bool> CancelFlag{false};
  std::array<std::string, 10> RunArguments;  // slots 1-10 (index 0-9), cp932

  // The program's own folder: it holds the shipped word list and stands in
  // for "..\" in include paths.
  std::filesystem::path ExeDir;
  // The word list to read; empty means ChkData.lst in ExeDir.
  std::filesystem::path WordListPath;

  // Definitions of the run: source first, then include files.
  std::vector<Definition> DefinitionTable;
  int DefinitionCount = 0;
  int MaxNameLength = 0;

  // Allowed words of the syntax check, read afresh in every run.
  std::unordered_set<std::string> CheckWordList;
  int BracketErrorCount = 0;
  int SyntaxErrorCount = 0;

  // Line n (1-based). A line past the end reads as empty.
  std::string_view Line(std::int32_t n) const {
    if (n < 1 || static_cast<std::size_t>(n) > WorkLines.size()) return {};
    return WorkLines[static_cast<std::size_t>(n - 1)];
  }
  // Line n (1-based) to rewrite in place; nullptr past the end.
  std::string* MutableLine(std::int32_t n) {
    if (n < 1 || static_cast<std::size_t>(n) > WorkLines.size()) return nullptr;
    return &WorkLines[static_cast<std::size_t>(n - 1)];
  }
  // Store line n (1-based); storing past the end does nothing.
  void SetLine(std::int32_t n, std::string text) {
    if (std::string* line = MutableLine(n)) *line = std::move(text);
  }

  // LineCount = the number of lines in WorkLines.
  std::int32_t CountLines();

  // Whole-text view and its exact inverse (see JoinLines / SplitAtCrLf).
  std::string WholeText() const { return JoinLines(WorkLines); }
  void SetWholeText(std::string_view text) { WorkLines = SplitAtCrLf(text); }

  // Prepare for a new run: empties the working text, the log and every
  // per-run table; keeps the options, arguments and paths.
  void Reset();
};

}  // namespace vostrel
