#pragma once
// The stage frame: everything a stage may do to the world outside the
// working text. The window and the headless compiler each implement the
// display side; the run-state side (log, cancel end, fatal stop) is shared
// here so that both front ends behave the same.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/finding.h"

namespace vostrel {

struct CompileRun;

class StageFrame {
 public:
  explicit StageFrame(CompileRun& run) : run_(run) {}
  virtual ~StageFrame() = default;
  StageFrame(const StageFrame&) = delete;
  StageFrame& operator=(const StageFrame&) = delete;

  CompileRun& Run() { return run_; }

  // Add a UTF-8 line to the run log.
  void AppendLog(std::string line);
  // Whether appended lines are kept in RunLog (they always reach
  // LogAppended). A front end that passes every line on as it comes need
  // not keep them: a binary file can log millions of unknown words.
  void SetKeepLog(bool keep) { keepLog_ = keep; }

  // Findings as records, beside the log. A front end that wants none (the
  // default) costs the stages nothing: they build no record then.
  bool WantsFindings() const { return wantsFindings_; }
  void SetWantsFindings(bool wanted) { wantsFindings_ = wanted; }
  // Appends the finding's message as a log line and reports the record
  // (when wanted), tied to that line.
  void AppendFinding(Finding finding);
  // The same, the record made by `make(message)` only when it is wanted
  // (a binary file can log millions of unknown words).
  template <class Make>
  void AppendFinding(std::string message, Make&& make) {
    if (wantsFindings_) AppendFinding(make(std::move(message)));
    else AppendLog(std::move(message));
  }
  // Reports a record that has no log line of its own (when wanted).
  void ReportFinding(Finding finding);

  // Status text (UTF-8), then let pending events run. Stages call it once
  // per definition: a window shows the newest text at display rate.
  virtual void ShowActivity(std::string_view text) = 0;
  // Progress range 0..max, position 0.
  virtual void StartProgress(std::int32_t max) = 0;
  // Progress position only.
  virtual void SetProgress(std::int32_t position) = 0;
  // Select line n (1-based) of the working view and scroll it into view.
  virtual void HighlightLine(std::int32_t n) = 0;
  // Progress position n; status text n as "0000" followed by `text`; then
  // let pending events run. Called once per line: keep it cheap.
  virtual void ShowLineProgress(std::int32_t n, std::string_view text) = 0;
  // Show (on) or hide (off) the busy animation.
  virtual void ShowBusy(bool on) = 0;
  // Let pending window events run.
  virtual void LetEventsRun() = 0;
  // The working text was replaced as a whole (refresh the working view).
  virtual void WorkTextReplaced() {}
  // A modal yes/no question (UTF-8 text); true for Yes.
  virtual bool AskYesNo(std::string_view message) = 0;

  // Include files become known only while the run reads them. The front
  // end may refuse one that is among the files the run writes: the check
  // gives the reason (UTF-8), empty when the file may be read.
  using IncludeCheck = std::function<std::string(const std::filesystem::path&)>;
  void SetIncludeCheck(IncludeCheck check) { includeCheck_ = std::move(check); }
  std::string IncludeRefusal(const std::filesystem::path& path) const {
    return includeCheck_ ? includeCheck_(path) : std::string();
  }

  // If a cancel was requested: perform the cancel end and return true; the
  // caller then ends the run at once.
  bool PollCancel();

  // Fatal stop: message box (UTF-8 message), status cleared, `logLine`
  // appended, progress reset. The caller ends the run at once. `places`
  // are the findings of the stop, tied to `logLine`; one without a message
  // takes the message's reason (without "コンパイルを中止します。").
  void AbortRun(std::string_view message, std::string_view logLine,
                std::vector<Finding> places = {});

  // Marks the stop as a file error rather than one of the input: the
  // system ran out of something (file descriptors), or an include file is
  // a file the run writes. Call before AbortRun.
  void MarkStopAsFileError() { stopIsFileError_ = true; }
  bool StopIsFileError() const { return stopIsFileError_; }

  // How the run ended, once PollCancel or AbortRun has ended it.
  enum class Outcome { Running, Cancelled, Aborted };
  Outcome RunOutcome() const { return outcome_; }

  // "0000" formatting of progress texts: at least four digits.
  static std::string LineNumberText(std::int32_t n);

 protected:
  // A line was appended to the run log.
  virtual void LogAppended(const std::string& line) { (void)line; }
  // A finding was reported (only while findings are wanted). Its file is
  // filled in: the run's source path when the stage named none.
  virtual void FindingReported(const Finding& finding) { (void)finding; }
  // The cancel end's message ("コンパイルを中止します。", caption "中止").
  virtual void ShowCancelled(std::string_view message) = 0;
  // The fatal stop's message (caption "確認").
  virtual void ShowFatal(std::string_view message) = 0;
  // The run is over without a result: buttons back to idle, screen saver on.
  virtual void RunEnded() {}

 private:
  CompileRun& run_;
  Outcome outcome_ = Outcome::Running;
  bool keepLog_ = true;
  bool wantsFindings_ = false;
  IncludeCheck includeCheck_;
  bool stopIsFileError_ = false;
  std::int64_t logLines_ = 0;  // lines appended so far, kept or not
};

}  // namespace vostrel
