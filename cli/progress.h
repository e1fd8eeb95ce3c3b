#pragma once
// A one-line progress display on a terminal: what is being done, how far
// and for how long. It appears only once the work has taken about a second,
// is redrawn a few times a second from its own thread, and is cleared when
// it goes. Everything else written to the same terminal meanwhile must go
// through Write, which keeps the line out of the way.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "pipeline/headless_frame.h"

namespace vostrel::cli {

struct CliOptions;

// Whether vostrelc shows progress: only on a terminal, and never when the
// terminal is to stay quiet.
bool ProgressWanted(const CliOptions& options);

class TerminalProgress {
 public:
  explicit TerminalProgress(std::FILE* terminal);
  ~TerminalProgress();  // clears the line
  TerminalProgress(const TerminalProgress&) = delete;
  TerminalProgress& operator=(const TerminalProgress&) = delete;

  // What is being done (UTF-8): a stage, or a file of a batch.
  void SetTask(std::string_view text);
  // How far: `done` of `total` (no percentage while total is 0).
  void SetTotal(std::int64_t total) {
    total_.store(total, std::memory_order_relaxed);
    done_.store(0, std::memory_order_relaxed);
  }
  void SetDone(std::int64_t done) { done_.store(done, std::memory_order_relaxed); }

  // Writes `text` to the terminal, the progress line cleared first.
  void Write(std::string_view text);

 private:
  void Tick();
  void Clear();  // with mutex_ held

  std::FILE* terminal_;
  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  bool shown_ = false;
  std::string task_;
  std::atomic<std::int64_t> total_{0}, done_{0};
  std::thread ticker_;
};

// The headless frame with the stage and its line progress on the display.
class ProgressFrame : public HeadlessFrame {
 public:
  ProgressFrame(CompileRun& run, TerminalProgress* progress) : HeadlessFrame(run), progress_(progress) {}

  void ShowActivity(std::string_view text) override {
    if (progress_ && !text.empty()) progress_->SetTask(text);
  }
  void StartProgress(std::int32_t max) override {
    if (progress_) progress_->SetTotal(max);
  }
  void SetProgress(std::int32_t position) override {
    if (progress_) progress_->SetDone(position);
  }
  void ShowLineProgress(std::int32_t n, std::string_view) override {
    if (progress_) progress_->SetDone(n);
  }

 private:
  TerminalProgress* progress_;
};

}  // namespace vostrel::cli
