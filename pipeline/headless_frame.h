#pragma once
// The stage frame of runs without a window (vostrelc, tests, benchmarks):
// nothing to display; log lines go to a sink as they are appended, and
// questions and messages are answered and passed on as text.

#include <functional>
#include <string>
#include <vector>

#include "pipeline/stage_frame.h"

namespace vostrel {

class HeadlessFrame : public StageFrame {
 public:
  using Sink = std::function<void(const std::string&)>;

  explicit HeadlessFrame(CompileRun& run) : StageFrame(run) {}

  void SetLogSink(Sink sink) { logSink_ = std::move(sink); }
  void SetMessageSink(Sink sink) { messageSink_ = std::move(sink); }
  // The answer to every yes/no question (Yes unless told otherwise). A
  // note, when given, follows each question on the message sink as the
  // answer taken ("→ はい: " + note).
  void SetAnswer(bool yes, std::string note = {}) {
    answer_ = yes;
    answerNote_ = std::move(note);
  }

  // What the run showed as messages and questions, in order.
  const std::vector<std::string>& Messages() const { return messages_; }

  void ShowActivity(std::string_view) override {}
  void StartProgress(std::int32_t) override {}
  void SetProgress(std::int32_t) override {}
  void HighlightLine(std::int32_t) override {}
  void ShowLineProgress(std::int32_t, std::string_view) override {}
  void ShowBusy(bool) override {}
  void LetEventsRun() override {}
  bool AskYesNo(std::string_view message) override {
    Message(message);
    if (messageSink_ && !answerNote_.empty())
      messageSink_(std::string(answer_ ? "→ はい: " : "→ いいえ: ") + answerNote_);
    return answer_;
  }

 protected:
  void LogAppended(const std::string& line) override {
    if (logSink_) logSink_(line);
  }
  void ShowCancelled(std::string_view message) override { Message(message); }
  void ShowFatal(std::string_view message) override { Message(message); }

 private:
  void Message(std::string_view text) {
    messages_.emplace_back(text);
    if (messageSink_) messageSink_(messages_.back());
  }

  Sink logSink_;
  Sink messageSink_;
  bool answer_ = true;
  std::string answerNote_;
  std::vector<std::string> messages_;
};

}  // namespace vostrel
