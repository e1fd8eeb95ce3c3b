#pragma once
// The command line of vostrelc, as parsed.

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/diagnostics.h"
#include "cli/renumber_option.h"
#include "cli/toolpath_output.h"
#include "pipeline/run_options.h"

namespace vostrel::cli {

constexpr int kExitCompleted = 0;
constexpr int kExitStopped = 1;
constexpr int kExitUsage = 2;

struct UsageError {
  std::string message;
};

struct CliOptions {
  RunOptions run;
  std::optional<std::filesystem::path> ini;
  std::vector<std::pair<std::string, std::string>> sets;  // --set KEY=VALUE (value cp932)
  std::vector<std::string> words;  // cp932
  std::optional<std::filesystem::path> wordList;
  // The files every run reads besides its source, as found: the settings
  // file (none for the null device or a missing default one) and the word
  // list (--word-list, else the desktop program's).
  std::optional<std::filesystem::path> settingsFileRead;
  std::filesystem::path wordListRead;
  std::optional<std::filesystem::path> exeDir;
  std::optional<std::filesystem::path> logFile;
  bool quiet = false;
  std::optional<std::filesystem::path> output;
  bool toStdout = false;
  bool force = false;
  std::filesystem::path source;
  DiagnosticsOptions diagnostics;  // --diagnostics, --diagnostics-file, --check
  ToolpathOptions toolpath;        // --toolpath, --plane, --toolpath-only, ...
  RenumberRequest renumber;        // --renumber, --renumber-blocks, --renumber-force

  // Many sources at once: -d OUTDIR SOURCE...
  std::vector<std::filesystem::path> sources;
  std::optional<std::filesystem::path> outDir;
  std::optional<std::filesystem::path> extension;  // --ext, else the settings' Mask, else NC
  unsigned jobs = 0;                               // -j; 0: one per processor
  std::optional<std::filesystem::path> logDir;
};

}  // namespace vostrel::cli
