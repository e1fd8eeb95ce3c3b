// Many sources at once. Each source is compiled by the single-run path in a
// run of its own; N of them run at a time. The logs are kept per source and
// written whole, in the order of the sources, so they never interleave and
// read the same whatever N is. The include files are read once per batch.

#include "cli/batch.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "cli/compile_one.h"
#include "cli/file_gate.h"
#include "cli/progress.h"
#include "pipeline/compile_run.h"
#include "pipeline/include_files.h"
#include "text/path_text.h"

namespace vostrel::cli {

namespace {

namespace fs = std::filesystem;

// Ctrl-C (or SIGTERM, SIGHUP): no further source starts, and the runs under
// way stop at their next cancel check; a second one ends the program at once.
std::atomic<bool> g_interrupted{false};

struct SourceResult {
  bool done = false;
  int status = kExitCompleted;
  std::string log;       // the run log, when it is written with the others
  std::string messages;  // "vostrelc: ..." lines
};

// The output file of every source: OUTDIR/<name without extension>.<EXT>.
// Two sources of the same name are refused before anything is compiled (and
// the file gate refuses outputs that are sources or each other however
// they are spelt).
std::vector<fs::path> OutputPaths(const CliOptions& options) {
  std::error_code ec;
  if (!fs::is_directory(*options.outDir, ec))
    throw UsageError{PathToUtf8(*options.outDir) + ": no such folder"};
  if (options.logDir && !fs::is_directory(*options.logDir, ec))
    throw UsageError{PathToUtf8(*options.logDir) + ": no such folder"};
  std::map<fs::path, fs::path> names;  // output name -> source
  std::vector<fs::path> outputs;
  for (const fs::path& source : options.sources) {
    fs::path name = source.filename();
    name.replace_extension(*options.extension);
    if (name.empty() || source.filename().empty())
      throw UsageError{PathToUtf8(source) + ": not a file name"};
    const auto [other, added] = names.emplace(name, source);
    if (!added)
      throw UsageError{PathToUtf8(other->second) + " and " + PathToUtf8(source) + " would both be compiled into " +
                       PathToUtf8(name)};
    outputs.push_back(*options.outDir / name);
  }
  return outputs;
}

// The log of a source with --log-dir: DIR/<name>.log.
fs::path SourceLogPath(const CliOptions& options, const fs::path& source) {
  fs::path name = source.filename();
  return *options.logDir / name.replace_extension(".log");
}

// Every file the batch reads and writes, before anything is touched.
void ListBatchFiles(const CliOptions& options, const std::vector<fs::path>& outputs, FileGate& gate) {
  for (const fs::path& source : options.sources) gate.Reads("the source", source);
  ListCommonReads(options, gate);
  if (options.logFile) gate.Writes("the log", *options.logFile);
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const std::string of = " of " + PathToUtf8(options.sources[i]);
    gate.Writes("the output" + of, outputs[i]);
    if (options.logDir) gate.Writes("the log" + of, SourceLogPath(options, options.sources[i]));
  }
}

// The summary of a batch, and its exit status.
int WriteSummary(const std::vector<SourceResult>& results, std::ofstream& logFile, const CliOptions& options,
           std::unique_ptr<TerminalProgress>& progress) {
  int compiled = 0, stopped = 0, failed = 0, interrupted = 0, worst = kExitCompleted;
  for (const SourceResult& result : results) {
    if (!result.done || result.status == StopExitStatus()) {
      ++interrupted;
      continue;
    }
    if (result.status == kExitCompleted) ++compiled;
    else if (result.status == kExitStopped) ++stopped;
    else ++failed;
    worst = std::max(worst, result.status);
  }
  progress.reset();
  // A log that could not be written is a failure the summary counts.
  if (logFile.is_open() && !logFile.flush()) {
    std::cerr << "vostrelc: " << PathToUtf8(*options.logFile) << ": cannot write the log: "
              << std::strerror(errno) << "\n";
    ++failed;
    worst = kExitUsage;
  }

  std::string summary = "vostrelc: " + std::to_string(compiled) + " compiled, " + std::to_string(stopped) +
                        " stopped by an input error, " + std::to_string(failed) + " failed";
  if (interrupted > 0) summary += ", " + std::to_string(interrupted) + " not compiled (interrupted)";
  std::cerr << summary << "\n";
  return interrupted > 0 ? StopExitStatus() : worst;
}

}  // namespace

int RunBatch(const CliOptions& options) {
  const std::vector<fs::path> outputs = OutputPaths(options);
  const std::size_t count = options.sources.size();
  FileGate gate;
  ListBatchFiles(options, outputs, gate);
  if (const std::string clash = gate.Clash(); !clash.empty())
    throw UsageError{clash + "; nothing was done"};

  std::ofstream logFile;
  if (options.logFile) {
    std::string error;
    if (!OpenLogFile(*options.logFile, logFile, error)) {
      std::cerr << "vostrelc: " << PathToUtf8(*options.logFile) << ": cannot write the log: " << error << "\n";
      return kExitUsage;
    }
  }
  const bool collectLogs = !options.quiet && !options.logDir;
  std::ostream& logOut = logFile.is_open() ? static_cast<std::ostream&>(logFile) : std::cerr;

  std::unique_ptr<TerminalProgress> progress;
  if (ProgressWanted(options)) {
    progress = std::make_unique<TerminalProgress>(stderr);
    progress->SetTotal(static_cast<std::int64_t>(count));
  }
  auto writeError = [&](const std::string& text) {
    if (progress) progress->Write(text);
    else std::cerr << text << std::flush;
  };

  // The per-source options: everything of the command line but the source,
  // the output and the log.
  CliOptions common = options;
  common.sources.clear();
  common.logFile.reset();

  IncludeFiles includes;
  g_interrupted = false;
  CatchStopRequests(g_interrupted);

  std::vector<SourceResult> results(count);
  std::mutex mutex;  // guards results, the next source, the output order
  std::size_t nextSource = 0, nextWritten = 0, finished = 0;

  // Writes the blocks of the finished sources that are next in order (all
  // the finished ones, in order, when the batch ends without the others).
  auto writeFinished = [&](bool skipUnfinished = false) {
    for (; nextWritten < count && (results[nextWritten].done || skipUnfinished); ++nextWritten) {
      SourceResult& result = results[nextWritten];
      if (!result.done) continue;
      if (collectLogs && !result.log.empty()) {
        const std::string block = "==> " + PathToUtf8(options.sources[nextWritten]) + " <==\n" + result.log;
        if (logFile.is_open()) logOut << block;
        else writeError(block);
      }
      if (!result.messages.empty()) writeError(result.messages);
      std::string().swap(result.log);
      std::string().swap(result.messages);
    }
  };

  std::atomic<int> loading{0};
  auto work = [&] {
    for (;;) {
      std::size_t i;
      {
        std::lock_guard lock(mutex);
        if (nextSource == count || g_interrupted) return;
        i = nextSource++;
        if (progress) progress->SetTask(std::to_string(i + 1) + "/" + std::to_string(count) + " " +
                                        PathToUtf8(options.sources[i]));
      }
      CliOptions one = common;
      one.source = options.sources[i];
      one.output = outputs[i];
      if (options.logDir) one.logFile = SourceLogPath(options, options.sources[i]);
      std::string log;
      std::ostringstream messages;
      CompileContext context(messages);
      if (collectLogs) context.log = [&log](const std::string& line) { (log += line) += '\n'; };
      context.includes = &includes;
      context.gate = &gate;
      context.batchCancel = &g_interrupted;
      context.loadingSources = &loading;
      int status;
      {
        auto run = std::make_unique<CompileRun>(one.run);
        try {
          status = CompileOne(one, *run, context);
        } catch (const std::exception& failure) {
          messages << "vostrelc: " << PathToUtf8(one.source) << ": " << failure.what() << "\n";
          status = kExitUsage;
        }
      }
      std::lock_guard lock(mutex);
      results[i] = {true, status, std::move(log), messages.str()};
      if (progress) progress->SetDone(static_cast<std::int64_t>(++finished));
      writeFinished();
    }
  };

  unsigned jobs = options.jobs ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
  jobs = static_cast<unsigned>(std::min<std::size_t>(jobs, count));
  std::vector<std::thread> workers;
  std::condition_variable workerEnded;
  unsigned running = jobs;  // workers that have not ended (guarded by mutex)
  for (unsigned j = 0; j < jobs; ++j)
    workers.emplace_back([&] {
      work();
      std::lock_guard lock(mutex);
      --running;
      workerEnded.notify_all();
    });
  {
    std::unique_lock lock(mutex);
    while (running > 0) {
      workerEnded.wait_for(lock, std::chrono::milliseconds(50));
      // After a stop request the workers left may all wait for a source
      // that never comes (a pipe nobody writes to): the batch ends without
      // them, as interrupted. The lock stays held, so that none of them
      // touches the results again before the process ends.
      if (g_interrupted && running > 0 && static_cast<unsigned>(loading.load()) == running) {
        writeFinished(true);
        const int status = WriteSummary(results, logFile, options, progress);
        std::fflush(nullptr);
        std::_Exit(status);
      }
    }
  }
  for (std::thread& worker : workers) worker.join();
  return WriteSummary(results, logFile, options, progress);
}

}  // namespace vostrel::cli
