#include "cli/compile_one.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "cli/progress.h"
#include "pipeline/compile.h"
#include "pipeline/compile_run.h"
#include "pipeline/output_file.h"
#include "platform/exe_path.h"
#include "settings/data_folder.h"
#include "text/path_text.h"

namespace vostrel::cli {

namespace {

namespace fs = std::filesystem;

// Ctrl-C asks the run to stop at its next cancel check; a second Ctrl-C
// ends the program at once (an existing output file is never touched before
// its complete replacement is renamed over it).
std::atomic<bool>* g_cancelFlag = nullptr;
extern "C" void OnInterrupt(int signal) {
  if (g_cancelFlag && !g_cancelFlag->exchange(true)) return;
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

int CompileOne(const CliOptions& options, CompileRun& run, CompileContext& context) {
  std::ostream& messages = context.messages;
  std::error_code ec;
  if (options.output && !options.force && fs::exists(*options.output, ec)) {
    messages << "vostrelc: " << PathToUtf8(*options.output)
             << ": the file exists (use --force to overwrite)\n";
    return kExitUsage;
  }

  std::ofstream logFile;
  if (options.logFile) {
    logFile.open(*options.logFile, std::ios::binary | std::ios::trunc);
    if (!logFile) {
      messages << "vostrelc: " << PathToUtf8(*options.logFile) << ": cannot write the log: "
               << std::strerror(errno) << "\n";
      return kExitUsage;
    }
  }

  for (std::size_t i = 0; i < options.words.size() && i < run.RunArguments.size(); ++i)
    run.RunArguments[i] = options.words[i];
  run.ExeDir = options.exeDir ? *options.exeDir : platform::ExecutableDir();
  run.IncludeHomeFolders = settings::IncludeHomeFolders(run.ExeDir);
  // The word list the desktop program's editor keeps, by the same rule.
  run.WordListPath = options.wordList ? *options.wordList : settings::WordListFilePath(run.ExeDir);
  run.TargetPath = options.output ? PathToUtf8(*options.output) : std::string();
  run.SharedIncludes = context.includes;

  ProgressFrame frame(run, context.progress);
  frame.SetKeepLog(false);  // every line goes to its sink at once
  if (logFile.is_open()) {
    frame.SetLogSink([&logFile](const std::string& line) { logFile << line << '\n'; });
  } else if (!options.quiet && context.log) {
    frame.SetLogSink(context.log);
  }
  frame.SetMessageSink([&messages](const std::string& text) { messages << "vostrelc: " << text << '\n'; });

  // Loading may wait on a pipe, where Ctrl-C must end the program as usual;
  // from the first stage on it cancels the run. A run that has completed
  // is written whole: a single Ctrl-C after that is too late to matter.
  std::string error;
  SourceCut cut;
  if (!LoadSource(options.source, run, frame, platform::Pipes::Read, &error, &cut)) {
    messages << "vostrelc: " << PathToUtf8(options.source) << ": cannot read the source: " << error
             << "\n";
    return kExitUsage;
  }
  if (cut.line != 0) {
    messages << "vostrelc: " << PathToUtf8(options.source) << ": warning: line " << cut.line
             << " holds a NUL byte (byte " << cut.offset
             << " of the file); the source is read only up to it\n";
  }
  if (context.batchCancel) {
    run.SharedCancel = context.batchCancel;
  } else {
    g_cancelFlag = &run.CancelFlag;
    std::signal(SIGINT, OnInterrupt);
  }
  const RunResult result = RunStages(run, frame);
  if (logFile.is_open() && !logFile.flush()) {
    messages << "vostrelc: " << PathToUtf8(*options.logFile) << ": cannot write the log: "
             << std::strerror(errno) << "\n";
    return kExitUsage;
  }

  if (result == RunResult::Cancelled) return kExitInterrupted;
  if (result == RunResult::Aborted) return kExitStopped;

  if (options.toStdout) {
    const std::string bytes = OutputBytes(run.WorkLines);
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0) {
      messages << "vostrelc: cannot write to standard output: " << std::strerror(errno) << "\n";
      return kExitUsage;
    }
    return kExitCompleted;
  }
  if (!SaveLines(*options.output, run.WorkLines, &error)) {
    messages << "vostrelc: " << PathToUtf8(*options.output) << ": cannot write the output: " << error
             << "\n";
    return kExitUsage;
  }
  return kExitCompleted;
}

}  // namespace vostrel::cli
