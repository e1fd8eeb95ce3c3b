#include "cli/renumber_option.h"

#include <charconv>

#include "cli/cli_options.h"
#include "pipeline/compile_run.h"
#include "pipeline/stage_frame.h"
#include "renumber/renumber_settings.h"

namespace vostrel::cli {

const char* const kRenumberUsage =
    "\nRenumbering (after a successful run, before the program is written):\n"
    "  --renumber START[,STEP]  renumber the sequence numbers from START in\n"
    "                    steps of STEP (default 10); every GOTO, IF[...]GOTO,\n"
    "                    M99 P, M97 P and G65 H80-H86 P follows its block\n"
    "  --renumber-blocks numbered|all|targets  which blocks get a number: those\n"
    "                    that have one (default), every block, or only jump\n"
    "                    targets and tool changes\n"
    "  --renumber-force  renumber also when a jump cannot be followed (a computed,\n"
    "                    missing or doubled target); otherwise nothing is written\n"
    "                    and the exit status is 1\n"
    "The settings file's section [Renumber] gives the rest (SkipLines, Width).\n";

namespace {

bool ParseCount(std::string_view text, std::int64_t& value, std::int64_t least) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && value >= least && value <= 99999999;
}

}  // namespace

bool TakeRenumberArgument(const std::vector<std::string>& args, std::size_t& i, RenumberRequest& request,
                          std::string& error) {
  const std::string& arg = args[i];
  if (arg == "--renumber-force") {
    request.force = request.anyGiven = true;
    return true;
  }
  if (arg != "--renumber" && arg != "--renumber-blocks") return false;
  request.anyGiven = true;
  if (i + 1 >= args.size()) {
    error = arg + " needs a value";
    return true;
  }
  const std::string& value = args[++i];
  if (arg == "--renumber-blocks") {
    renumber::BlockChoice choice;
    if (renumber::ParseBlockChoice(value, choice)) request.blocks = choice;
    else error = "--renumber-blocks takes numbered, all or targets, not '" + value + "'";
    return true;
  }
  const std::size_t comma = value.find(',');
  const std::string_view start = std::string_view(value).substr(0, comma);
  if (!ParseCount(start, request.start, 0) ||
      (comma != std::string::npos && !ParseCount(std::string_view(value).substr(comma + 1), request.step, 1)))
    error = "--renumber takes START[,STEP] (START from 0, STEP from 1), not '" + value + "'";
  request.wanted = true;
  return true;
}

void ResolveRenumbering(RenumberRequest& request, const settings::AppSettings::RenumberKeys& stored) {
  request.options = renumber::OptionsFromSettings(stored);
  request.options.start = request.start;
  request.options.step = request.step;
  if (request.blocks) request.options.blocks = *request.blocks;
  request.options.force = request.force;
}

int ApplyRenumbering(const RenumberRequest& request, CompileRun& run, StageFrame& frame, std::ostream& messages,
                     const std::string& source) {
  renumber::Outcome outcome = renumber::Renumber(run.WorkLines, request.options);
  for (std::string& line : renumber::ReportLines(outcome)) frame.AppendLog(std::move(line));
  if (outcome.refused) {
    for (const renumber::LineFinding& f : outcome.findings)
      if (f.severity == Severity::Error)
        messages << "vostrelc: " << source << ": line " << f.line << " of the compiled program: " << f.message << "\n";
    messages << "vostrelc: " << source
             << ": not renumbered, a jump cannot be followed (--renumber-force renumbers all the same); "
                "nothing was written\n";
    return kExitStopped;
  }
  run.WorkLines = std::move(outcome.lines);
  return kExitCompleted;
}

}  // namespace vostrel::cli
