#include "cli/compile_one.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <new>
#include <vector>

#include "cli/diagnostics.h"
#include "cli/file_gate.h"
#include "cli/progress.h"
#include "cli/renumber_option.h"
#include "pipeline/compile.h"
#include "pipeline/compile_run.h"
#include "pipeline/output_file.h"
#include "platform/atomic_file.h"
#include "platform/exe_path.h"
#include "platform/console.h"
#include "settings/data_folder.h"
#include "text/path_text.h"

namespace vostrel::cli {

namespace fs = std::filesystem;

void ListCommonReads(const CliOptions& options, FileGate& gate) {
  if (options.settingsFileRead) gate.Reads("the settings file", *options.settingsFileRead);
  gate.Reads("the word list", options.wordListRead);
}

bool OpenLogFile(const fs::path& path, std::ofstream& file, std::string& error) {
  fs::path target;
  if (!platform::FollowWriteLinks(path, target, &error)) return false;
  file.open(target, std::ios::binary | std::ios::trunc);
  if (!file) error = std::strerror(errno);
  return static_cast<bool>(file);
}

namespace {

// Ctrl-C, SIGTERM and SIGHUP (on Windows Ctrl-C and closing the console).
std::atomic<std::atomic<bool>*> g_cancelFlag{nullptr};
std::atomic<int> g_stopStatus{0};
void OnStopRequest(int status) {
  g_stopStatus.store(status);
  if (std::atomic<bool>* flag = g_cancelFlag.load()) flag->store(true);
}


// Says where the source holds a NUL byte (counted from 1), and what was read.
void WarnAboutNul(std::ostream& messages, const fs::path& source, const SourceCut& cut) {
  if (cut.line == 0) return;
  messages << "vostrelc: " << PathToUtf8(source) << ": warning: line " << cut.line << " holds a NUL byte (byte "
           << cut.offset + 1 << " of the file); "
           << (cut.lineByLine ? "the file was read line by line, each line only up to its first NUL byte\n"
                              : "the source is read only up to it\n");
}

// The steps of one compile run outside the stages, for the message when
// memory runs out (the stages name themselves).
struct Step {
  const char* name = "準備";
};

int CompileSteps(const CliOptions& options, CompileRun& run, CompileContext& context, Step& step) {
  // Which files may be written was settled before the run (or the batch)
  // by its file gate.
  std::ostream& messages = context.messages;
  std::error_code ec;
  const platform::SaveRules outputRules{.replaceHardLinked = options.force};
  if (options.output) {
    if (!options.force && fs::exists(*options.output, ec)) {
      messages << "vostrelc: " << PathToUtf8(*options.output) << ": the file exists (use --force to overwrite)\n";
      return kExitUsage;
    }
    // Known before the work rather than after it.
    std::string why;
    if (!platform::CheckReplaceable(*options.output, &why, outputRules)) {
      messages << "vostrelc: " << PathToUtf8(*options.output) << ": cannot write the output: " << why << "\n";
      return kExitUsage;
    }
  }

  for (std::size_t i = 0; i < options.words.size() && i < run.RunArguments.size(); ++i)
    run.RunArguments[i] = options.words[i];
  run.ExeDir = options.exeDir ? *options.exeDir : platform::ExecutableDir();
  run.IncludeHomeFolders = settings::IncludeHomeFolders(run.ExeDir);
  run.WordListPath = options.wordListRead;
  run.TargetPath = options.output ? PathToUtf8(*options.output) : std::string();
  run.SharedIncludes = context.includes;

  ProgressFrame frame(run, context.progress);
  frame.SetKeepLog(false);  // every line goes to its sink at once
  frame.SetMessageSink([&messages](const std::string& text) { messages << "vostrelc: " << text << '\n'; });
  frame.SetAnswer(true, "read as raw bytes");
  if (context.diagnostics) {
    frame.SetWantsFindings(true);
    frame.SetFindingSink([&context](const Finding& finding) { context.diagnostics->Write(finding); });
  }
  // An include file that is one of the written files stops the run.
  if (context.gate)
    frame.SetIncludeCheck([&context](const fs::path& include) { return context.gate->IncludeClash(include); });

  // Loading may wait on a pipe, where Ctrl-C must end the program as usual;
  // from the first stage on it cancels the run.
  std::string error;
  SourceCut cut;
  step.name = "ソース読み込み";
  if (context.loadingSources) ++*context.loadingSources;
  const bool loaded = LoadSource(options.source, run, frame, platform::Pipes::Read, &error, &cut);
  if (context.loadingSources) --*context.loadingSources;
  if (!loaded) {
    messages << "vostrelc: " << PathToUtf8(options.source) << ": cannot read the source: " << error << "\n";
    return kExitUsage;
  }
  WarnAboutNul(messages, options.source, cut);

  // The log is created only now that the run starts.
  std::ofstream logFile;
  if (options.logFile) {
    if (!OpenLogFile(*options.logFile, logFile, error)) {
      messages << "vostrelc: " << PathToUtf8(*options.logFile) << ": cannot write the log: " << error << "\n";
      return kExitUsage;
    }
    frame.SetLogSink([&logFile](const std::string& line) { logFile << line << '\n'; });
  } else if (!options.quiet && context.log) {
    frame.SetLogSink(context.log);
  }

  // A batch owns the stop signals; a single run takes them over now. A run
  // that has completed is written whole: its output is replaced only when
  // complete, so a single signal during the write is too late to matter.
  if (context.batchCancel) run.SharedCancel = context.batchCancel;
  else CatchStopRequests(run.CancelFlag);
  step.name = "コンパイル";
  const RunResult result = RunStages(run, frame);
  step.name = "出力ファイル書き込み";
  if (logFile.is_open() && !logFile.flush()) {
    messages << "vostrelc: " << PathToUtf8(*options.logFile) << ": cannot write the log: "
             << std::strerror(errno) << "\n";
    return kExitUsage;
  }

  if (result == RunResult::Cancelled) return StopExitStatus();
  if (result == RunResult::Aborted) return frame.StopIsFileError() ? kExitUsage : kExitStopped;
  if (options.diagnostics.check) return context.diagnostics->Errors() > 0 ? kExitStopped : kExitCompleted;
  if (options.renumber.wanted) {
    step.name = "番号振り直し";
    if (const int status = ApplyRenumbering(options.renumber, run, frame, messages, PathToUtf8(options.source)))
      return status;
  }
  if (!options.output && !options.toStdout) return kExitCompleted;  // --toolpath alone: no program written

  if (options.toStdout) {
    // Streamed in the blocks of the file output, never joined whole.
    const bool written = WriteLines(
        [](std::string_view bytes) { return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size(); },
        run.WorkLines);
    if (!written || std::fflush(stdout) != 0) {
      messages << "vostrelc: cannot write to standard output: " << std::strerror(errno) << "\n";
      return kExitUsage;
    }
    return kExitCompleted;
  }
  const auto links = fs::hard_link_count(*options.output, ec);
  if (!SaveLines(*options.output, run.WorkLines, &error, outputRules)) {
    messages << "vostrelc: " << PathToUtf8(*options.output) << ": cannot write the output: " << error << "\n";
    return kExitUsage;
  }
  if (!ec && links > 1)
    messages << "vostrelc: " << PathToUtf8(*options.output) << ": warning: the file had " << links - 1
             << " other hard link(s); they keep the old content\n";
  return kExitCompleted;
}

}  // namespace

void CatchStopRequests(std::atomic<bool>& cancelFlag) {
  g_cancelFlag.store(&cancelFlag);
  platform::CatchStopRequests(OnStopRequest);
}

int StopExitStatus() {
  const int status = g_stopStatus.load();
  return status ? status : 130;
}

int CompileOne(const CliOptions& options, CompileRun& run, CompileContext& context) {
  Step step;
  try {
    return CompileSteps(options, run, context, step);
  } catch (const std::bad_alloc&) {
    context.messages << "vostrelc: " << step.name << " でメモリが足りなくなりました。\nコンパイルを中止します。\n";
    return kExitUsage;
  }
}

}  // namespace vostrel::cli
