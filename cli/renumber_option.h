#pragma once
// vostrelc --renumber: the compiled program's sequence numbers renumbered
// after the run, every jump target following its block.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "renumber/renumber.h"
#include "settings/app_settings.h"

namespace vostrel {
struct CompileRun;
class StageFrame;
}  // namespace vostrel

namespace vostrel::cli {

struct RenumberRequest {
  bool wanted = false;                  // --renumber START[,STEP]
  std::int64_t start = 10, step = 10;
  std::optional<renumber::BlockChoice> blocks;  // --renumber-blocks
  bool force = false;                   // --renumber-force
  bool anyGiven = false;                // one of the options above, for the usage check
  renumber::Options options;            // the settings file's section, then the command line
};

// Takes args[i] when it is one of the options above, with its value
// (advancing i); false when it is none of them. A bad value is reported in
// `error`.
bool TakeRenumberArgument(const std::vector<std::string>& args, std::size_t& i, RenumberRequest& request,
                          std::string& error);

// The options of a wanted renumbering: the settings file's section Renumber
// (which blocks, the skipped lines, the width), then the command line.
void ResolveRenumbering(RenumberRequest& request, const settings::AppSettings::RenumberKeys& stored);

extern const char* const kRenumberUsage;

// After a completed run: renumbers the compiled lines in place and logs
// after the run's log. Returns 0, or 1 when jumps could not be followed
// and no force was given (the lines are then left as they are, and the
// findings go to `messages` as well, naming `source`).
int ApplyRenumbering(const RenumberRequest& request, CompileRun& run, StageFrame& frame, std::ostream& messages,
                     const std::string& source);

}  // namespace vostrel::cli
