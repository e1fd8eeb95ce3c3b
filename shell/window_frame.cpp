#include "shell/window_frame.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>

#include <algorithm>

#include "gui_common/prompts.h"
#include "pipeline/compile_run.h"
#include "shell/busy_indicator.h"
#include "shell/finding_navigator.h"
#include "shell/main_window.h"
#include "viewer/line_text_view.h"

namespace vostrel::gui {

WindowFrame::WindowFrame(CompileRun& run, MainWindow& window) : StageFrame(run), window_(window) {
  clock_.start();
  SetWantsFindings(true);
}

void WindowFrame::FindingReported(const Finding& finding) { window_.findings_->Add(finding); }

void WindowFrame::RunEvents() {
  QCoreApplication::processEvents();
  nextEvents_ = clock_.elapsed() + kEventIntervalMs;
}

void WindowFrame::ShowPending() {
  if (progress_ != shownProgress_) {
    window_.ProgressBar->setValue(progress_);
    shownProgress_ = progress_;
  }
  if (statusPending_) {
    window_.StatusText->setText(status_);
    statusPending_ = false;
  }
  if (highlight_ > 0) {
    window_.WorkingTextView->HighlightLine(highlight_ - 1);
    highlight_ = 0;
  } else {
    window_.WorkingTextView->viewport()->update();  // lines may have changed in place
  }
  if (window_.LogView->LineCount() != static_cast<int>(Run().RunLog.size())) {
    window_.LogView->LinesAppended();
    window_.LogView->ScrollToEnd();
  }
  nextDisplay_ = clock_.elapsed() + kDisplayIntervalMs;
}

bool WindowFrame::ClockDue() {
  if (++calls_ < stride_) return false;
  calls_ = 0;
  now_ = clock_.elapsed();
  if (now_ == lastClock_) stride_ = std::min(stride_ * 2, kMaxStride);
  else if (now_ > lastClock_ + 2) stride_ = std::max(stride_ / 2, 1);
  lastClock_ = now_;
  return now_ >= nextEvents_;
}

void WindowFrame::Tick(qint64 now) {
  if (now < nextEvents_) return;
  if (now >= nextDisplay_) ShowPending();
  RunEvents();
}

void WindowFrame::ShowActivity(std::string_view text) {
  // Stages with many definitions say what they do for each: the newest
  // text is shown at display rate.
  status_ = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  statusPending_ = true;
  Tick(clock_.elapsed());
}

void WindowFrame::StartProgress(std::int32_t max) {
  stride_ = 1;  // a new stage: its lines may cost more or less
  calls_ = 0;
  window_.ProgressBar->setRange(0, std::max<std::int32_t>(max, 1));
  progress_ = 0;
  shownProgress_ = -1;
  window_.ProgressBar->setValue(0);
  shownProgress_ = 0;
}

void WindowFrame::SetProgress(std::int32_t position) {
  progress_ = position;
  if (ClockDue()) Tick(now_);
}

void WindowFrame::HighlightLine(std::int32_t n) {
  highlight_ = n;
  if (ClockDue()) Tick(now_);
}

void WindowFrame::ShowLineProgress(std::int32_t n, std::string_view text) {
  progress_ = n;
  if (!ClockDue()) return;
  const qint64 now = now_;
  if (now >= nextDisplay_) {
    status_ = QString::fromStdString(LineNumberText(n)) +
              QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    statusPending_ = true;
  }
  Tick(now);
}

void WindowFrame::ShowBusy(bool on) {
  if (on) window_.BusyAnimation->Start();
  else window_.BusyAnimation->Stop();
}

void WindowFrame::LetEventsRun() {
  ShowPending();
  RunEvents();
}

void WindowFrame::WorkTextReplaced() {
  window_.WorkingTextView->LinesChanged();
}

bool WindowFrame::AskYesNo(std::string_view message) {
  ShowPending();
  return window_.prompts_->AskYesNo(&window_, QStringLiteral("確認"), QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())));
}

void WindowFrame::ShowCancelled(std::string_view message) {
  ShowPending();
  window_.prompts_->ShowMessage(&window_, QStringLiteral("中止"),
                              QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())),
                              MessageIcon::Stop);
}

void WindowFrame::ShowFatal(std::string_view message) {
  ShowPending();
  window_.prompts_->ShowMessage(&window_, QStringLiteral("確認"),
                              QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())),
                              MessageIcon::Stop);
}

void WindowFrame::RunEnded() {
  window_.EndOfRunState();
  ShowPending();
}

}  // namespace vostrel::gui
