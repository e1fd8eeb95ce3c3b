#pragma once
// One source compiled as vostrelc compiles it: the single run of the
// command line, and each source of a batch.

#include <atomic>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>

#include "cli/cli_options.h"

namespace vostrel {
struct CompileRun;
class IncludeFiles;
}  // namespace vostrel

namespace vostrel::cli {

class DiagnosticsWriter;
class FileGate;
class TerminalProgress;

// Where one compile reports, and what it shares with other compiles.
struct CompileContext {
  explicit CompileContext(std::ostream& messageStream) : messages(messageStream) {}

  std::ostream& messages;  // "vostrelc: ..." lines
  // The run log's lines when there is no --log file (not called with -q).
  std::function<void(const std::string&)> log;
  IncludeFiles* includes = nullptr;  // a batch's include files
  // A batch's interruption: set, the batch owns Ctrl-C; null, a single run
  // takes it over once its source is loaded.
  const std::atomic<bool>* batchCancel = nullptr;
  TerminalProgress* progress = nullptr;  // the stage display of a single run
  DiagnosticsWriter* diagnostics = nullptr;  // the findings of a single run, when wanted
  // The files the run, or its batch, reads and writes, checked before it
  // started: include files are checked against it as they are found.
  const FileGate* gate = nullptr;
  // Counts the batch's sources being loaded (a load may wait on a pipe).
  std::atomic<int>* loadingSources = nullptr;
};

// Lists in `gate` the files every run of `options` reads besides its
// source: the settings file and the word list.
void ListCommonReads(const CliOptions& options, FileGate& gate);

// Opens `path` to write a log into it in place, by the output's link
// rules; false with `error` when it cannot be.
bool OpenLogFile(const std::filesystem::path& path, std::ofstream& file, std::string& error);

// The first stop request (Ctrl-C, SIGTERM, SIGHUP, a closed console) sets
// `cancelFlag`; a second ends the program at once (platform/console.h).
void CatchStopRequests(std::atomic<bool>& cancelFlag);
// The exit status of a run ended by a stop request: 128 + the signal number
// it stands for (130 for Ctrl-C).
int StopExitStatus();

// Compiles options.source into options.output (or standard output) in
// `run`, a fresh run made from options.run. Returns the exit status.
int CompileOne(const CliOptions& options, CompileRun& run, CompileContext& context);

}  // namespace vostrel::cli
