#include "pipeline/stage_frame.h"

#include <cstdio>

#include "pipeline/compile_run.h"

namespace vostrel {

void StageFrame::AppendLog(std::string line) {
  ++logLines_;
  if (!keepLog_) {
    LogAppended(line);
    return;
  }
  run_.RunLog.push_back(std::move(line));
  LogAppended(run_.RunLog.back());
}

void StageFrame::AppendFinding(Finding finding) {
  if (!wantsFindings_) {
    AppendLog(std::move(finding.message));
    return;
  }
  AppendLog(finding.message);
  finding.logLine = logLines_ - 1;
  ReportFinding(std::move(finding));
}

void StageFrame::ReportFinding(Finding finding) {
  if (!wantsFindings_) return;
  if (finding.file.empty()) finding.file = run_.SourcePath;
  FindingReported(finding);
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

void StageFrame::AbortRun(std::string_view message, std::string_view logLine,
                          std::vector<Finding> places) {
  ShowBusy(false);
  ShowFatal(message);
  ShowActivity("");
  AppendLog(std::string(logLine));
  // The reason: the message without its closing line, on one line.
  std::string reason(message);
  constexpr std::string_view kClosing = "\nコンパイルを中止します。";
  if (reason.ends_with(kClosing)) reason.resize(reason.size() - kClosing.size());
  for (char& c : reason)
    if (c == '\n') c = ' ';
  for (Finding& place : places) {
    if (place.message.empty()) place.message = reason;
    place.logLine = logLines_ - 1;
    ReportFinding(std::move(place));
  }
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
