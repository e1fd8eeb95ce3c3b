#pragma once
// The state of one compile run, shared by all stages.

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/run_options.h"
#include "pipeline/source_map.h"
#include "pipeline/text_lines.h"
#include "pipeline/word_set.h"

namespace vostrel {

class IncludeFiles;

// One row of the definition table.
struct Definition {
  std::string Name;      // one or more bytes, no space; compared byte for byte
  std::string Value;     // trimmed; "$" + value + "$" for a one-byte name
  int NameLength = 0;    // byte length of Name
  int ScopeStartLine = 1;  // 1-based line from which a one-byte name is replaced
  // Where it was written: the include file (UTF-8 path; empty for the
  // source itself), its 1-based line and the character column of the name.
  std::string SourceFile;
  std::int32_t SourceLine = 0;
  std::int32_t SourceColumn = 0;
};

struct CompileRun {
  explicit CompileRun(const RunOptions& options) : Options(&options) {}

  // The live run options of the front end (read when a stage is reached).
  const RunOptions* Options;

  std::string TargetPath;
  std::string SourcePath;  // UTF-8, as the front end named the source
  TextLines WorkLines;
  std::size_t SourceSize = 0;  // bytes of the loaded source file
  // The source line (1-based) each working line came from, kept by every
  // stage that moves, splits, joins or deletes lines. While the lines are
  // still the loaded source's lines one for one (LinesAreSourceLines) the
  // list is left empty, as it is for a text that was given directly rather
  // than loaded: each line is then its own. Origins() fills it in.
  std::vector<std::int32_t> LineOrigins;
  bool LinesAreSourceLines = false;
  // The source file as loaded, for the columns of findings (kept only
  // when the front end wants findings).
  SourceText Source;
  std::int32_t LineCount = 0;
  std::vector<std::string> RunLog;  // UTF-8 lines
  std::atomic<bool> CancelFlag{false};
  // A cancel request for every run of a batch (null outside a batch).
  const std::atomic<bool>* SharedCancel = nullptr;
  std::array<std::string, 10> RunArguments;  // slots 1-10 (index 0-9), cp932

  // The program's own folder: it holds the shipped word list and stands in
  // for "..\" in include paths unless IncludeHomeFolders names others.
  std::filesystem::path ExeDir;
  // The folders "..\" in an include path stands for, tried in order until
  // the file is found there; empty means ExeDir alone.
  std::vector<std::filesystem::path> IncludeHomeFolders;
  // The folder a relative include path is found in (after every "..\" is
  // replaced); empty: the process's current folder.
  std::filesystem::path IncludeBaseFolder;
  // The include files shared by the runs of a batch; null: every run reads
  // its include files itself.
  IncludeFiles* SharedIncludes = nullptr;
  // The word list to read; empty means ChkData.lst in ExeDir.
  std::filesystem::path WordListPath;

  // Definitions of the run: source first, then include files.
  std::vector<Definition> DefinitionTable;
  int DefinitionCount = 0;
  int MaxNameLength = 0;

  // Allowed words of the syntax check, read afresh in every run.
  WordSet CheckWordList;
  int BracketErrorCount = 0;
  int SyntaxErrorCount = 0;

  // Line n (1-based). A line past the end reads as empty.
  std::string_view Line(std::int32_t n) const {
    if (n < 1 || static_cast<std::size_t>(n) > WorkLines.size()) return {};
    return WorkLines[static_cast<std::size_t>(n - 1)];
  }
  // Whether line n (1-based) may hold any of `what` (see line_summary.h);
  // false past the end.
  bool MayHold(std::int32_t n, LineSummary what) const {
    return n >= 1 && static_cast<std::size_t>(n) <= WorkLines.size() &&
           WorkLines.may_hold(static_cast<std::size_t>(n - 1), what);
  }
  // The first line (1-based) from n to LineCount that may hold any of
  // `what`; LineCount + 1 when there is none.
  std::int32_t NextLineHolding(std::int32_t n, LineSummary what) const {
    const auto last = static_cast<std::size_t>(LineCount < 0 ? 0 : LineCount);
    const std::size_t i = WorkLines.next_holding(static_cast<std::size_t>(n - 1), what, last);
    return i < last && i < WorkLines.size() ? static_cast<std::int32_t>(i + 1) : LineCount + 1;
  }
  // Store line n (1-based); storing past the end does nothing.
  void SetLine(std::int32_t n, std::string_view text) {
    if (n >= 1 && static_cast<std::size_t>(n) <= WorkLines.size())
      WorkLines.assign(static_cast<std::size_t>(n - 1), text);
  }
  // The source line working line n came from; 0 when it is not known.
  std::int32_t SourceLineOf(std::int32_t n) const {
    if (LinesAreSourceLines)
      return n >= 1 && static_cast<std::size_t>(n) <= WorkLines.size() ? n : 0;
    if (LineOrigins.empty()) return n;
    if (n < 1 || static_cast<std::size_t>(n) > LineOrigins.size() || LineOrigins.size() != WorkLines.size())
      return 0;
    return LineOrigins[static_cast<std::size_t>(n - 1)];
  }
  // Whether the working lines have a source to point at.
  bool HasSourceMap() const { return LinesAreSourceLines || !LineOrigins.empty(); }
  // The source line of every working line, to change along with the lines
  // (empty without a source map).
  std::vector<std::int32_t>& Origins();
  // The source line of every working line as a list (empty without a
  // source map).
  std::vector<std::int32_t> SourceLines() const;
  // The working lines as loaded from the source: line n is source line n.
  void SetLoadedLines(TextLines lines);
  // No lines left (and so no origins).
  void ClearLines() {
    WorkLines.clear();
    LineOrigins.clear();
    LinesAreSourceLines = false;
  }

  // LineCount = the number of lines in WorkLines.
  std::int32_t CountLines();

  // Whole-text view and its exact inverse (see JoinLines / SplitAtCrLf).
  std::string WholeText() const { return JoinLines(WorkLines); }
  // Sets back a whole text made from WholeText() by replacements that add
  // and remove no LF byte (names and values never hold one). Each LF of the
  // new text is then the LF at the same rank in the old one, so a line
  // keeps the origin of the old line it starts in, and a line break that a
  // replacement took away joins two lines under the first one's origin.
  void SetWholeText(std::string_view text);

  // Prepare for a new run: empties the working text, the log and every
  // per-run table; keeps the options, arguments and paths.
  void Reset();
};

}  // namespace vostrel
