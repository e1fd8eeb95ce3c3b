#pragma once
// The stage frame of a run in the main window. Stages report every line;
// the window shows the newest state at display rate (about every 30 ms) and
// lets pending events run about every 10 ms, so that 中止, the menus and
// repainting answer at once without slowing the run down.

#include <QElapsedTimer>
#include <QString>

#include "pipeline/stage_frame.h"

namespace vostrel::gui {

class MainWindow;

class WindowFrame final : public StageFrame {
 public:
  static constexpr qint64 kEventIntervalMs = 10;
  static constexpr qint64 kDisplayIntervalMs = 30;

  WindowFrame(CompileRun& run, MainWindow& window);

  void ShowActivity(std::string_view text) override;
  void StartProgress(std::int32_t max) override;
  void SetProgress(std::int32_t position) override;
  void HighlightLine(std::int32_t n) override;
  void ShowLineProgress(std::int32_t n, std::string_view text) override;
  void ShowBusy(bool on) override;
  void LetEventsRun() override;
  void WorkTextReplaced() override;
  bool AskYesNo(std::string_view message) override;

  // Shows everything that is pending (log, highlight, progress, status).
  void ShowPending();

 protected:
  void ShowCancelled(std::string_view message) override;
  void ShowFatal(std::string_view message) override;
  void FindingReported(const Finding& finding) override;
  void RunEnded() override;

 private:
  // Per-line path: the clock is read only every `stride_` calls, the
  // stride adapting so that it is read about once a millisecond (a clock
  // read per line would cost a fifth of a fast run).
  bool ClockDue();
  void Tick(qint64 now);
  void RunEvents();

  MainWindow& window_;
  QElapsedTimer clock_;
  static constexpr int kMaxStride = 64;
  int calls_ = 0;
  int stride_ = 1;
  qint64 lastClock_ = 0;
  qint64 now_ = 0;
  qint64 nextEvents_ = 0;
  qint64 nextDisplay_ = 0;
  std::int32_t progress_ = 0;
  std::int32_t shownProgress_ = -1;
  std::int32_t highlight_ = 0;  // 1-based; 0 = nothing pending
  QString status_;
  bool statusPending_ = false;
};

}  // namespace vostrel::gui
