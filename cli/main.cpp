// vostrelc: the compile pipeline as a command-line compiler.

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "cli/diagnostics.h"
#include "pipeline/compile.h"
#include "pipeline/compile_run.h"
#include "pipeline/headless_frame.h"
#include "pipeline/output_file.h"
#include "platform/exe_path.h"
#include "settings/app_settings.h"
#include "settings/data_folder.h"
#include "text/path_text.h"
#include "text/sjis.h"
#include "version.h"

namespace {

using namespace vostrel;
namespace fs = std::filesystem;

constexpr int kExitCompleted = 0;
constexpr int kExitStopped = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

constexpr const char* kUsage =
    "Usage: vostrelc [--ini FILE] [--set KEY=VALUE]... [-a WORD]... [--word-list FILE]\n"
    "                [--exe-dir DIR] [--log FILE] [-q]\n"
    "                (-o FILE | --stdout) [--force] SOURCE\n"
    "\n"
    "Compiles the NC source SOURCE (Shift-JIS text) into a plain NC program.\n"
    "\n"
    "  --ini FILE        read the run options from this settings file instead of\n"
    "                    the desktop program's (vostrel.INI beside the program, or\n"
    "                    in ~/.config/vostrel when that folder is not writable);\n"
    "                    the file is only read, never written; --ini /dev/null:\n"
    "                    no settings file, every option at its default\n"
    "  --set KEY=VALUE   set a run option by its settings key: EndChar, chg16_10,\n"
    "                    Chg_MacroA, End_set (Y or N), StartChar, DefName;\n"
    "                    overrides the settings file\n"
    "  -a WORD           a word for #IF blocks (up to ten, in order)\n"
    "  --word-list FILE  the word list of the syntax check\n"
    "                    (default: ChkData.lst in the program's folder)\n"
    "  --exe-dir DIR     stands in for the program's own folder\n"
    "  --log FILE        write the run log to FILE (UTF-8) instead of standard error\n"
    "  -q                no run log\n"
    "  -o FILE           write the compiled program to FILE\n"
    "  --stdout          write the compiled program to standard output\n"
    "  --force           overwrite an existing output file\n"
    "  --help, --version\n"
    "\n"
    "Exit status: 0 compiled, 1 the run was stopped by an input error,\n"
    "2 usage or file error, 130 interrupted.\n";

struct UsageError {
  std::string message;
};

struct CliOptions {
  RunOptions run;
  std::optional<fs::path> ini;
  std::vector<std::pair<std::string, std::string>> sets;  // --set KEY=VALUE (value cp932)
  std::vector<std::string> words;  // cp932
  std::optional<fs::path> wordList;
  std::optional<fs::path> exeDir;
  std::optional<fs::path> logFile;
  bool quiet = false;
  std::optional<fs::path> output;
  bool toStdout = false;
  bool force = false;
  fs::path source;
  cli::DiagnosticsOptions diagnostics;
};

std::string ToCp932(const std::string& utf8, const char* what) {
  auto bytes = sjis::FromUtf8(utf8);
  if (!bytes) throw UsageError{std::string(what) + " '" + utf8 + "' cannot be written in Shift-JIS"};
  return *bytes;
}

// The run options: the settings file first (--ini, else the desktop
// program's file by its data-folder rule, which --exe-dir stands in for),
// then every --set in order.
void ReadRunOptions(CliOptions& options) {
  const fs::path exeDir = options.exeDir ? *options.exeDir : platform::ExecutableDir();
  const fs::path path = options.ini ? *options.ini : settings::SettingsFilePath(exeDir / "vostrel");
  std::error_code ec;
  if (options.ini && !fs::exists(path, ec))
    throw UsageError{PathToUtf8(path) + ": no such settings file"};
  settings::IniFile file;
  std::string error;
  // The null device stands for "no settings file": every option at its
  // default (other devices are refused by the loader).
  const bool none = options.ini && fs::weakly_canonical(path, ec) == fs::path("/dev/null");
  if (!none && !file.Load(path, &error))
    throw UsageError{PathToUtf8(path) + ": cannot read the settings file: " + error};
  options.run = settings::ReadAppSettings(file).Run;
  for (const auto& [key, value] : options.sets) *options.run.Find(key) = value;
}

// Parses the command line; returns nullopt after --help or --version.
std::optional<CliOptions> ParseArguments(int argc, char** argv) {
  CliOptions options;
  bool haveSource = false;
  auto value = [&](int& i, const std::string& name) -> std::string {
    if (i + 1 >= argc) throw UsageError{name + " needs a value"};
    return argv[++i];
  };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    std::string error;
    if (cli::TakeDiagnosticsArgument(argc, argv, i, options.diagnostics, error)) {
      if (!error.empty()) throw UsageError{error};
    } else if (arg == "--help" || arg == "-h") {
      std::cout << kUsage << cli::kDiagnosticsUsage;
      return std::nullopt;
    } else if (arg == "--version") {
      std::cout << "vostrelc " VOSTREL_VERSION "\n";
      return std::nullopt;
    } else if (arg == "--set") {
      const std::string setting = value(i, arg);
      const std::size_t eq = setting.find('=');
      if (eq == std::string::npos) throw UsageError{"--set needs KEY=VALUE, not '" + setting + "'"};
      if (!options.run.Find(setting.substr(0, eq)))
        throw UsageError{"unknown option key '" + setting.substr(0, eq) + "'"};
      options.sets.emplace_back(setting.substr(0, eq), ToCp932(setting.substr(eq + 1), "value"));
    } else if (arg == "--ini") {
      options.ini = PathFromUtf8(value(i, arg));
    } else if (arg == "-a") {
      options.words.push_back(ToCp932(value(i, arg), "word"));
    } else if (arg == "--word-list") {
      options.wordList = PathFromUtf8(value(i, arg));
    } else if (arg == "--exe-dir") {
      options.exeDir = PathFromUtf8(value(i, arg));
    } else if (arg == "--log") {
      options.logFile = PathFromUtf8(value(i, arg));
    } else if (arg == "-q") {
      options.quiet = true;
    } else if (arg == "-o") {
      options.output = PathFromUtf8(value(i, arg));
    } else if (arg == "--stdout") {
      options.toStdout = true;
    } else if (arg == "--force") {
      options.force = true;
    } else if (arg.size() > 1 && arg[0] == '-' ) {
      throw UsageError{"unknown argument '" + arg + "'"};
    } else {
      if (haveSource) throw UsageError{"more than one source file given"};
      options.source = PathFromUtf8(arg);
      haveSource = true;
    }
  }
  if (!haveSource) throw UsageError{"no source file given"};
  if (options.diagnostics.check && (options.output || options.toStdout))
    throw UsageError{"--check writes no output: give neither -o FILE nor --stdout"};
  if (!options.diagnostics.check && options.output.has_value() == options.toStdout)
    throw UsageError{"give exactly one of -o FILE and --stdout"};
  ReadRunOptions(options);
  return options;
}

// Ctrl-C asks the run to stop at its next cancel check; a second Ctrl-C
// ends the program at once (an existing output file is never touched before
// its complete replacement is renamed over it).
std::atomic<bool>* g_cancelFlag = nullptr;
extern "C" void OnInterrupt(int signal) {
  if (g_cancelFlag && !g_cancelFlag->exchange(true)) return;
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

int Run(const CliOptions& options) {
  std::error_code ec;
  if (options.output && !options.force && fs::exists(*options.output, ec)) {
    std::cerr << "vostrelc: " << PathToUtf8(*options.output)
              << ": the file exists (use --force to overwrite)\n";
    return kExitUsage;
  }

  std::string error;
  std::ofstream logFile;
  if (options.logFile) {
    logFile.open(*options.logFile, std::ios::binary | std::ios::trunc);
    if (!logFile) {
      std::cerr << "vostrelc: " << PathToUtf8(*options.logFile) << ": cannot write the log: "
                << std::strerror(errno) << "\n";
      return kExitUsage;
    }
  }

  // The run is left to the process exit to release: freeing a million
  // lines one by one would cost more than writing them.
  CompileRun& run = *new CompileRun(options.run);
  for (std::size_t i = 0; i < options.words.size() && i < run.RunArguments.size(); ++i)
    run.RunArguments[i] = options.words[i];
  run.ExeDir = options.exeDir ? *options.exeDir : platform::ExecutableDir();
  // The word list the desktop program's editor keeps, by the same rule.
  run.WordListPath = options.wordList ? *options.wordList : settings::WordListFilePath(run.ExeDir);
  run.TargetPath = options.output ? PathToUtf8(*options.output) : std::string();

  HeadlessFrame frame(run);
  frame.SetKeepLog(false);  // every line goes to its sink at once
  if (logFile.is_open()) {
    frame.SetLogSink([&logFile](const std::string& line) { logFile << line << '\n'; });
  } else if (!options.quiet) {
    frame.SetLogSink([](const std::string& line) { std::cerr << line << '\n'; });
  }
  frame.SetMessageSink([](const std::string& text) { std::cerr << "vostrelc: " << text << '\n'; });
  cli::DiagnosticsWriter diagnostics(options.diagnostics);
  if (!diagnostics.Open(error)) {
    std::cerr << "vostrelc: " << error << "\n";
    return kExitUsage;
  }
  frame.SetWantsFindings(options.diagnostics.Wanted());
  frame.SetFindingSink([&diagnostics](const Finding& finding) { diagnostics.Write(finding); });

  // Loading may wait on a pipe, where Ctrl-C must end the program as usual;
  // from the first stage on it cancels the run. A run that has completed
  // is written whole: a single Ctrl-C after that is too late to matter.
  SourceCut cut;
  if (!LoadSource(options.source, run, frame, UnreadableSource::Fail, &error, &cut)) {
    std::cerr << "vostrelc: " << PathToUtf8(options.source) << ": cannot read the source: " << error
              << "\n";
    return kExitUsage;
  }
  if (cut.line != 0) {
    std::cerr << "vostrelc: " << PathToUtf8(options.source) << ": warning: line " << cut.line
              << " holds a NUL byte (byte " << cut.offset
              << " of the file); the source is read only up to it\n";
  }
  g_cancelFlag = &run.CancelFlag;
  std::signal(SIGINT, OnInterrupt);
  const RunResult result = RunStages(run, frame);
  if (logFile.is_open() && !logFile.flush()) {
    std::cerr << "vostrelc: " << PathToUtf8(*options.logFile) << ": cannot write the log: "
              << std::strerror(errno) << "\n";
    return kExitUsage;
  }

  if (!diagnostics.Finish()) {
    std::cerr << "vostrelc: " << PathToUtf8(*options.diagnostics.file) << ": cannot write the diagnostics\n";
    return kExitUsage;
  }

  if (result == RunResult::Cancelled) return kExitInterrupted;
  if (result == RunResult::Aborted) return kExitStopped;
  if (options.diagnostics.check) return diagnostics.Errors() > 0 ? kExitStopped : kExitCompleted;

  if (options.toStdout) {
    const std::string bytes = OutputBytes(run.WorkLines);
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0) {
      std::cerr << "vostrelc: cannot write to standard output: " << std::strerror(errno) << "\n";
      return kExitUsage;
    }
    return kExitCompleted;
  }
  if (!SaveLines(*options.output, run.WorkLines, &error)) {
    std::cerr << "vostrelc: " << PathToUtf8(*options.output) << ": cannot write the output: " << error
              << "\n";
    return kExitUsage;
  }
  return kExitCompleted;
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<CliOptions> options;
  try {
    options = ParseArguments(argc, argv);
  } catch (const UsageError& usage) {
    std::cerr << "vostrelc: " << usage.message << "\n\n" << kUsage << cli::kDiagnosticsUsage;
    return kExitUsage;
  }
  if (!options) return kExitCompleted;
  try {
    return Run(*options);
  } catch (const std::exception& failure) {
    std::cerr << "vostrelc: " << failure.what() << "\n";
    return kExitUsage;
  }
}
