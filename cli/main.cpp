// vostrelc: the compile pipeline as a command-line compiler.

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "pipeline/compile.h"
#include "pipeline/compile_run.h"
#include "pipeline/headless_frame.h"
#include "pipeline/output_file.h"
#include "platform/atomic_file.h"
#include "platform/console.h"
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
constexpr int kMaxWords = 10;

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
    "  --force           overwrite an existing output file (also one with other\n"
    "                    hard links: those keep the old content)\n"
    "  --help, --version\n"
    "\n"
    "The output and the log never replace the source, the settings file or the\n"
    "word list, nor each other. The output is replaced only when it is complete.\n"
    "\n"
    "Exit status: 0 compiled, 1 the run was stopped by an input error,\n"
    "2 usage or file error, 128 + signal number when interrupted (130 Ctrl-C,\n"
    "129 SIGHUP or the console window closed, 143 SIGTERM).\n";

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
std::optional<CliOptions> ParseArguments(const std::vector<std::string>& args) {
  CliOptions options;
  bool haveSource = false;
  auto value = [&](std::size_t& i, const std::string& name) -> std::string {
    if (i + 1 >= args.size()) throw UsageError{name + " needs a value"};
    return args[++i];
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
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
      if (options.words.size() == kMaxWords) throw UsageError{"at most ten -a words"};
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
  if (options.output.has_value() == options.toStdout)
    throw UsageError{"give exactly one of -o FILE and --stdout"};
  ReadRunOptions(options);
  return options;
}

// Ctrl-C, SIGTERM and SIGHUP (on Windows Ctrl-C and closing the console)
// ask the run to stop at its next cancel check, with the exit status they
// stand for. A second one ends the program at once (platform/console.h). A
// run that has completed is written whole: its output is replaced only when
// complete, so a single request during the write is too late to matter.
std::atomic<bool>* g_cancelFlag = nullptr;
std::atomic<int> g_stopStatus{0};
void OnStopRequest(int status) {
  g_stopStatus.store(status);
  if (g_cancelFlag) g_cancelFlag->store(true);
}

// Whether two paths name the same file: by identity (device and inode)
// where both exist; where neither does, by their folders' identity and
// their names.
bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  const bool hasA = fs::exists(a, ec), hasB = fs::exists(b, ec);
  if (hasA && hasB) return fs::equivalent(a, b, ec);
  if (hasA || hasB) return false;
  auto folder = [](const fs::path& p) { return p.has_parent_path() ? p.parent_path() : fs::path("."); };
  if (a.filename() != b.filename()) return false;
  return fs::exists(folder(a), ec) && fs::exists(folder(b), ec) ? fs::equivalent(folder(a), folder(b), ec)
                                                                 : a.lexically_normal() == b.lexically_normal();
}

// The files a run writes must not be the files it reads, nor each other;
// --force does not change that. An empty text when all is well.
std::string FileClash(const CliOptions& options) {
  struct Named {
    const char* role;
    fs::path path;
  };
  std::vector<Named> read{{"the source", options.source}};
  if (options.ini) read.push_back({"the settings file", *options.ini});
  if (options.wordList) read.push_back({"the word list", *options.wordList});
  std::vector<Named> written;
  if (options.output) written.push_back({"the output", *options.output});
  if (options.logFile) written.push_back({"the log", *options.logFile});
  std::error_code ec;
  for (std::size_t w = 0; w < written.size(); ++w) {
    for (const Named& r : read)  // a device or pipe read (--ini /dev/null) cannot be harmed
      if ((!fs::exists(r.path, ec) || fs::is_regular_file(r.path, ec)) && SameFile(written[w].path, r.path))
        return PathToUtf8(written[w].path) + ": " + written[w].role + " would overwrite " + r.role + " " +
               PathToUtf8(r.path);
    if (w == 1 && SameFile(written[0].path, written[1].path))
      return PathToUtf8(written[1].path) + ": the log and the output name the same file";
  }
  return {};
}

// Says where the source holds a NUL byte (counted from 1), and what was read.
void WarnAboutNul(const fs::path& source, const SourceCut& cut) {
  if (cut.line == 0) return;
  std::cerr << "vostrelc: " << PathToUtf8(source) << ": warning: line " << cut.line
            << " holds a NUL byte (byte " << cut.offset + 1 << " of the file); "
            << (cut.lineByLine ? "the file was read line by line, each line only up to its first NUL byte\n"
                               : "the source is read only up to it\n");
}

// The steps of one compile run outside the stages, for the message when
// memory runs out (the stages name themselves).
struct Step {
  const char* name = "準備";
};

// One compile run: the source to the output (or standard output). Returns
// the exit status.
int CompileSteps(const CliOptions& options, Step& step) {
  std::error_code ec;
  if (const std::string clash = FileClash(options); !clash.empty()) {
    std::cerr << "vostrelc: " << clash << "; nothing was done\n";
    return kExitUsage;
  }
  const platform::SaveRules outputRules{.replaceHardLinked = options.force};
  if (options.output) {
    if (!options.force && fs::exists(*options.output, ec)) {
      std::cerr << "vostrelc: " << PathToUtf8(*options.output)
                << ": the file exists (use --force to overwrite)\n";
      return kExitUsage;
    }
    // Known before the work rather than after it.
    std::string why;
    if (!platform::CheckReplaceable(*options.output, &why, outputRules)) {
      std::cerr << "vostrelc: " << PathToUtf8(*options.output) << ": cannot write the output: " << why << "\n";
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
  frame.SetMessageSink([](const std::string& text) { std::cerr << "vostrelc: " << text << '\n'; });
  frame.SetAnswer(true, "read as raw bytes");

  // Loading may wait on a pipe, where Ctrl-C must end the program as usual;
  // from the first stage on it cancels the run.
  std::string error;
  SourceCut cut;
  step.name = "ソース読み込み";
  if (!LoadSource(options.source, run, frame, platform::Pipes::Read, &error, &cut)) {
    std::cerr << "vostrelc: " << PathToUtf8(options.source) << ": cannot read the source: " << error
              << "\n";
    return kExitUsage;
  }
  WarnAboutNul(options.source, cut);

  // The log is created only now that the run starts.
  std::ofstream logFile;
  if (options.logFile) {
    logFile.open(*options.logFile, std::ios::binary | std::ios::trunc);
    if (!logFile) {
      std::cerr << "vostrelc: " << PathToUtf8(*options.logFile) << ": cannot write the log: "
                << std::strerror(errno) << "\n";
      return kExitUsage;
    }
    frame.SetLogSink([&logFile](const std::string& line) { logFile << line << '\n'; });
  } else if (!options.quiet) {
    frame.SetLogSink([](const std::string& line) { std::cerr << line << '\n'; });
  }

  g_cancelFlag = &run.CancelFlag;
  platform::CatchStopRequests(OnStopRequest);
  step.name = "コンパイル";
  const RunResult result = RunStages(run, frame);
  step.name = "出力ファイル書き込み";
  if (logFile.is_open() && !logFile.flush()) {
    std::cerr << "vostrelc: " << PathToUtf8(*options.logFile) << ": cannot write the log: "
              << std::strerror(errno) << "\n";
    return kExitUsage;
  }

  if (result == RunResult::Cancelled) return g_stopStatus.load() ? g_stopStatus.load() : 128 + SIGINT;
  if (result == RunResult::Aborted) return kExitStopped;

  if (options.toStdout) {
    const std::string bytes = OutputBytes(run.WorkLines);
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0) {
      std::cerr << "vostrelc: cannot write to standard output: " << std::strerror(errno) << "\n";
      return kExitUsage;
    }
    return kExitCompleted;
  }
  const auto links = fs::hard_link_count(*options.output, ec);
  if (!SaveLines(*options.output, run.WorkLines, &error, outputRules)) {
    std::cerr << "vostrelc: " << PathToUtf8(*options.output) << ": cannot write the output: " << error
              << "\n";
    return kExitUsage;
  }
  if (!ec && links > 1)
    std::cerr << "vostrelc: " << PathToUtf8(*options.output) << ": warning: the file had " << links - 1
              << " other hard link(s); they keep the old content\n";
  return kExitCompleted;
}

int CompileOne(const CliOptions& options) {
  Step step;
  try {
    return CompileSteps(options, step);
  } catch (const std::bad_alloc&) {
    std::cerr << "vostrelc: " << step.name << " でメモリが足りなくなりました。\nコンパイルを中止します。\n";
    return kExitUsage;
  }
}

}  // namespace

int main(int argc, char** argv) {
  platform::UseUtf8Console();
  std::optional<CliOptions> options;
  try {
    options = ParseArguments(platform::Utf8Arguments(argc, argv));
  } catch (const UsageError& usage) {
    std::cerr << "vostrelc: " << usage.message << "\n\n" << kUsage;
    return kExitUsage;
  }
  if (!options) return kExitCompleted;
  try {
    return CompileOne(*options);
  } catch (const std::exception& failure) {
    std::cerr << "vostrelc: " << failure.what() << "\n";
    return kExitUsage;
  }
}
