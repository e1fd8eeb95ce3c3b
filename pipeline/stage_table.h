#pragma once
// The stages of a compile run and the one table that fixes their order.

#include <span>
#include <string_view>

namespace vostrel {

struct CompileRun;
class StageFrame;

// What a stage tells the driver when it returns.
enum class StageEnd {
  Continue,  // go on with the next stage
  EndRun,    // the stage ended the run (PollCancel or AbortRun said so)
};

using StageFunction = StageEnd (*)(CompileRun&, StageFrame&);
using StageGate = bool (*)(const CompileRun&);

// What the driver does after the stage returns.
enum class AfterStage {
  CancelCheck,  // PollCancel after the stage's last log line
  None,         // nothing: the run goes on to its completion
};

struct StageEntry {
  std::string_view logName;  // the name the stage logs (UTF-8)
  StageGate gate;            // nullptr: always runs
  StageFunction run;
  AfterStage after;
};

// The stage order of every compile run.
std::span<const StageEntry> StageOrder();

}  // namespace vostrel
