#include "pipeline/stage_frame.h"

#include <cstdio>

#include "pipeline/compile_run.h"

namespace vostrel {

void StageFrame::AppendLog(std::string line) {
  if (!keepLog_) {
    LogAppended(line);
    return;
  }
  run_.RunLog.push_back(std::move(line));
  LogAppended(run_.RunLog.back());
}

bool StageFrame::PollCancel() {
  if (!run_.CancelFlag.load() && !(run_.SharedCancel && run_.SharedCancel->load())) return false;
  ShowBusy(false);
  ShowCancelled("コンパイルを中止します。");
  ShowActivity("");
  AppendLog(" -- 中止 --");
  SetProgress(0);
  outcome_ = Outcome::Cancelled;
  RunEnded();
  return true;
}

void StageFrame::AbortRun(std::string_view message, std::string_view logLine) {
  ShowBusy(false);
  ShowFatal(message);
  ShowActivity("");
  AppendLog(std::string(logLine));
  SetProgress(0);
  outcome_ = Outcome::Aborted;
  RunEnded();
}

std::string StageFrame::LineNumberText(std::int32_t n) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%04d", static_cast<int>(n));
  return buffer;
}

}  // namespace vostrel
