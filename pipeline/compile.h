#pragma once
// The compile run driver: from the loaded source to the completed text.

#include <filesystem>
#include <string>
#include <string_view>

#include <span>

#include "pipeline/stage_frame.h"
#include "pipeline/stage_table.h"
#include "platform/read_file.h"

namespace vostrel {

struct CompileRun;

enum class RunResult {
  Completed,  // TextLines holds the compiled program
  Cancelled,  // a cancel request ended the run
  Aborted,    // a fatal input error (or a failure inside a stage) ended it
};

// Loads the source into WorkLines. The bytes are cut at the first NUL and
// split at CR LF and lone LF. When that gives no text, the frame is asked
// whether to read the file line by line instead (499 bytes at most per line).
// A file that cannot be read at all (missing, a folder, no permission)
// returns false at once, with `error` set, and asks nothing: there is
// nothing to compile, and the front end says so naming the file.
// Only a batch run reads a named pipe (`pipes`): a window would hang on one
// that nobody writes to.
// When the file holds a NUL byte, `cut` (if given) tells where the first
// is, and whether the file was then read line by line; the front end says
// so, as the text after it is not compiled (or only line by line).
struct SourceCut {
  std::size_t line = 0;    // 1-based line of the NUL byte; 0 when there is none
  std::size_t offset = 0;  // 0-based byte offset of the NUL byte in the file
  bool lineByLine = false;  // read again line by line, each line cut at its NUL
};
bool LoadSource(const std::filesystem::path& path, CompileRun& run, StageFrame& frame,
                platform::Pipes pipes, std::string* error = nullptr,
                SourceCut* cut = nullptr);

// The same from bytes held in memory (an editor's unsaved text) that stand
// for the file `sourcePath` (UTF-8, as findings name it).
void LoadSourceText(std::string bytes, std::string sourcePath, CompileRun& run, StageFrame& frame,
                    SourceCut* cut = nullptr);

// The first line of every run's log, shown in the empty log pane too.
inline constexpr std::string_view kLogHeading = "----- ﾛｸﾞ -----";

// Runs every stage of the stage order over the loaded TextLines and
// completes the run. The log starts with its header line here.
RunResult RunStages(CompileRun& run, StageFrame& frame);

// The same over a given list of stages (tests run partial or failing lists).
RunResult RunStages(CompileRun& run, StageFrame& frame, std::span<const StageEntry> stages);

}  // namespace vostrel
