// vostrelc: the compile pipeline as a command-line compiler.

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/batch.h"
#include "cli/cli_options.h"
#include "cli/compile_one.h"
#include "cli/diagnostics.h"
#include "cli/file_gate.h"
#include "cli/progress.h"
#include "pipeline/compile_run.h"
#include "platform/console.h"
#include "platform/exe_path.h"
#include "settings/app_settings.h"
#include "settings/data_folder.h"
#include "text/path_text.h"
#include "text/sjis.h"
#include "version.h"

namespace {

using namespace vostrel;
using namespace vostrel::cli;
namespace fs = std::filesystem;

constexpr int kMaxWords = 10;

constexpr const char* kUsage =
    "Usage: vostrelc [--ini FILE] [--set KEY=VALUE]... [-a WORD]... [--word-list FILE]\n"
    "                [--exe-dir DIR] [--log FILE] [-q]\n"
    "                (-o FILE | --stdout) [--force] SOURCE\n"
    "       vostrelc [options] -d OUTDIR [--ext EXT] [-j N] [--log-dir DIR] [--force]\n"
    "                SOURCE...\n"
    "\n"
    "Compiles the NC source SOURCE (Shift-JIS text) into a plain NC program;\n"
    "with -d, every SOURCE into OUTDIR/<SOURCE's name without extension>.EXT.\n"
    "\n"
    "  --ini FILE        read the run options from this settings file instead of\n"
    "                    the desktop program's (vostrel.INI beside the program, or\n"
    "                    in ~/.config/vostrel when the program is installed or\n"
    "                    its folder is not writable);\n"
    "                    the file is only read, never written; --ini /dev/null:\n"
    "                    no settings file, every option at its default\n"
    "  --set KEY=VALUE   set a run option by its settings key: EndChar, chg16_10,\n"
    "                    Chg_MacroA, End_set (Y or N), StartChar, DefName;\n"
    "                    overrides the settings file\n"
    "  -a WORD           a word for #IF blocks (up to ten, in order)\n"
    "  --word-list FILE  the word list of the syntax check\n"
    "                    (default: the user's ChkData.lst, else the shipped one)\n"
    "  --exe-dir DIR     stands in for the program's own folder\n"
    "  --log FILE        write the run log to FILE (UTF-8) instead of standard error\n"
    "  -q                no run log and no progress line\n"
    "  -o FILE           write the compiled program to FILE\n"
    "  --stdout          write the compiled program to standard output\n"
    "  --force           overwrite an existing output file (also one with other\n"
    "                    hard links: those keep the old content)\n"
    "  -d OUTDIR         compile every SOURCE into the folder OUTDIR\n"
    "  --ext EXT         the extension of the files in OUTDIR (default: the\n"
    "                    settings file's Mask, else NC)\n"
    "  -j N              compile N sources at once (default: one per processor);\n"
    "                    the logs follow one another whole, in source order\n"
    "  --log-dir DIR     write each source's log to DIR/<name>.log\n"
    "  --help, --version\n"
    "  --                every argument after it is a source\n"
    "\n"
    "The output, the log and the diagnostics never replace the source, the\n"
    "settings file, the word list or an include file, nor each other (also\n"
    "the default settings file and word list, whatever the spelling or link).\n"
    "The output is replaced only when it is complete.\n"
    "\n"
    "Exit status: 0 compiled, 1 the run was stopped by an input error,\n"
    "2 usage or file error, 128 + signal number when interrupted (130 Ctrl-C,\n"
    "129 SIGHUP or the console window closed, 143 SIGTERM); with -d the worst of the sources.\n"
    "On a terminal a run that takes more than a second shows its progress.\n";

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
  if (!none && fs::exists(path, ec)) options.settingsFileRead = path;
  // The word list the desktop program's editor keeps, by the same rule.
  options.wordListRead = options.wordList ? *options.wordList : settings::WordListFilePath(exeDir);
  const settings::AppSettings stored = settings::ReadAppSettings(file);
  options.run = stored.Run;
  if (!options.extension) options.extension = PathFromUtf8("." + (stored.Mask.empty() ? std::string("NC") : sjis::ToUtf8(stored.Mask)));
  for (const auto& [key, value] : options.sets) *options.run.Find(key) = value;
  if (options.renumber.wanted) ResolveRenumbering(options.renumber, stored.Renumber);
}

// Parses the command line; returns nullopt after --help or --version.
std::optional<CliOptions> ParseArguments(const std::vector<std::string>& args) {
  CliOptions options;
  auto value = [&](std::size_t& i, const std::string& name) -> std::string {
    if (i + 1 >= args.size()) throw UsageError{name + " needs a value"};
    return args[++i];
  };
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string error;
    if (optionsEnded) {
      options.sources.push_back(PathFromUtf8(arg));
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (TakeDiagnosticsArgument(args, i, options.diagnostics, error)) {
      if (!error.empty()) throw UsageError{error};
    } else if (TakeToolpathArgument(args, i, options.toolpath, error)) {
      if (!error.empty()) throw UsageError{error};
    } else if (TakeRenumberArgument(args, i, options.renumber, error)) {
      if (!error.empty()) throw UsageError{error};
    } else if (arg == "--help" || arg == "-h") {
      std::cout << kUsage << kDiagnosticsUsage << kToolpathUsage << kRenumberUsage;
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
    } else if (arg == "-d") {
      options.outDir = PathFromUtf8(value(i, arg));
    } else if (arg == "--ext") {
      const std::string ext = value(i, arg);
      if (ext.empty() || ext.find_first_of("/\\") != std::string::npos)
        throw UsageError{"--ext needs an extension such as NC, not '" + ext + "'"};
      options.extension = PathFromUtf8("." + ext);
    } else if (arg == "-j") {
      const std::string jobs = value(i, arg);
      char* end = nullptr;
      const unsigned long n = std::strtoul(jobs.c_str(), &end, 10);
      if (jobs.empty() || *end != '\0' || n < 1 || n > 1024)
        throw UsageError{"-j needs a number of jobs from 1 to 1024, not '" + jobs + "'"};
      options.jobs = static_cast<unsigned>(n);
    } else if (arg == "--log-dir") {
      options.logDir = PathFromUtf8(value(i, arg));
    } else if (arg.size() > 1 && arg[0] == '-' ) {
      throw UsageError{"unknown argument '" + arg + "'"};
    } else {
      options.sources.push_back(PathFromUtf8(arg));
    }
  }
  if (options.renumber.anyGiven && !options.renumber.wanted)
    throw UsageError{"--renumber-blocks and --renumber-force go with --renumber START[,STEP]"};
  if (options.renumber.wanted && (options.toolpath.only || options.diagnostics.check))
    throw UsageError{"--renumber goes with neither --toolpath-only nor --check"};
  if (options.toolpath.only) {
    if (!options.toolpath.Wanted()) throw UsageError{"--toolpath-only needs --toolpath FORMAT"};
    if (!options.sources.empty() || options.output || options.toStdout || options.outDir)
      throw UsageError{"--toolpath-only FILE takes no source and writes no program"};
    return options;
  }
  if (options.toolpath.Wanted()) {
    if (options.outDir || options.toStdout || options.diagnostics.check)
      throw UsageError{"--toolpath goes with neither -d, --stdout nor --check"};
  }
  if (options.sources.empty()) throw UsageError{"no source file given"};
  if (options.outDir) {
    if (options.output || options.toStdout) throw UsageError{"-d goes with neither -o nor --stdout"};
    if (options.diagnostics.Wanted()) throw UsageError{"--diagnostics and --check take a single source"};
  } else {
    if (options.sources.size() > 1) throw UsageError{"more than one source file given (use -d OUTDIR)"};
    if (options.extension || options.jobs || options.logDir)
      throw UsageError{"--ext, -j and --log-dir go with -d OUTDIR"};
    if (options.diagnostics.check && (options.output || options.toStdout))
      throw UsageError{"--check writes no output: give neither -o FILE nor --stdout"};
    if (!options.diagnostics.check && !options.toolpath.Wanted() && options.output.has_value() == options.toStdout)
      throw UsageError{"give exactly one of -o FILE and --stdout"};
    options.source = options.sources.front();
  }
  ReadRunOptions(options);
  return options;
}

// --toolpath after a completed run: the compiled lines, mapped back to the
// source through the run's source map.
int WriteRunToolpath(const CliOptions& options, const CompileRun& run) {
  const std::vector<std::string_view> lines(run.WorkLines.begin(), run.WorkLines.end());
  return WriteToolpath(
      options.toolpath, lines,
      [&run](std::int32_t line) { return SourcePlace{run.SourcePath, run.SourceLineOf(line)}; },
      options.diagnostics.format, stdout, std::cerr);
}

// One source: the run's log on standard error, through the progress line
// when there is one; its findings where --diagnostics says.
int RunSingle(const CliOptions& options) {
  FileGate gate;
  gate.Reads("the source", options.source);
  ListCommonReads(options, gate);
  if (options.output) gate.Writes("the output", *options.output);
  if (options.logFile) gate.Writes("the log", *options.logFile);
  if (options.diagnostics.Writes()) gate.Writes("the diagnostics", *options.diagnostics.file);
  if (const std::string clash = gate.Clash(); !clash.empty()) {
    std::cerr << "vostrelc: " << clash << "; nothing was done\n";
    return kExitUsage;
  }
  DiagnosticsWriter diagnostics(options.diagnostics);
  if (std::string error; !diagnostics.Open(error)) {
    std::cerr << "vostrelc: " << error << "\n";
    return kExitUsage;
  }
  std::unique_ptr<TerminalProgress> progress;
  if (ProgressWanted(options)) progress = std::make_unique<TerminalProgress>(stderr);
  std::ostringstream messages;
  CompileContext context(progress ? messages : std::cerr);
  context.progress = progress.get();
  context.gate = &gate;
  if (progress) context.log = [&progress](const std::string& line) { progress->Write(line + '\n'); };
  else context.log = [](const std::string& line) { std::cerr << line << '\n'; };
  if (options.diagnostics.Wanted()) context.diagnostics = &diagnostics;
  // The run is left to the process exit to release: freeing a million
  // lines one by one would cost more than writing them.
  CompileRun& run = *new CompileRun(options.run);
  int status = CompileOne(options, run, context);
  progress.reset();
  std::cerr << messages.str();
  if (status == kExitCompleted && options.toolpath.Wanted()) status = WriteRunToolpath(options, run);
  if (!diagnostics.Finish()) {
    std::cerr << "vostrelc: " << PathToUtf8(*options.diagnostics.file) << ": cannot write the diagnostics\n";
    return kExitUsage;
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  platform::UseUtf8Console();
  std::optional<CliOptions> options;
  try {
    options = ParseArguments(platform::Utf8Arguments(argc, argv));
  } catch (const UsageError& usage) {
    std::cerr << "vostrelc: " << usage.message << "\n\n" << kUsage << kDiagnosticsUsage << kToolpathUsage << kRenumberUsage;
    return kExitUsage;
  }
  if (!options) return kExitCompleted;
  try {
    if (options->toolpath.only) return RunToolpathOnly(options->toolpath, options->diagnostics.format);
    return options->outDir ? RunBatch(*options) : RunSingle(*options);
  } catch (const UsageError& usage) {
    std::cerr << "vostrelc: " << usage.message << "\n";
    return kExitUsage;
  } catch (const std::exception& failure) {
    std::cerr << "vostrelc: " << failure.what() << "\n";
    return kExitUsage;
  }
}
