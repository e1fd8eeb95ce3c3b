#include "shell/window_frame.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>

#include <algorithm>

#include "gui_common/prompts.h"
#include "pipeline/compile_run.h"
#include "shell/busy_indicator.h"
#include "shell/finding_navigator.h"
#include "shell/main_form.h"
#include "viewer/line_text_view.h"

namespace vostrel::gui {

WindowFrame::WindowFrame(CompileRun& run, TMainForm& form) : StageFrame(run), form_(form) {
  clock_.start();
  SetWantsFindings(true);
}

void WindowFrame::FindingReported(const Finding& finding) { form_.findings_->Add(finding); }

void WindowFrame::RunEvents() {
  QCoreApplication::processEvents();
  nextEvents_ = clock_.elapsed() + kEventIntervalMs;
}

void WindowFrame::ShowPending() {
  if (progress_ != shownProgress_) {
    form_.ProgressBar1->setValue(progress_);
    shownProgress_ = progress_;
  }
  if (statusPending_) {
    form_.StatusText->setText(status_);
    statusPending_ = false;
  }
  if (highlight_ > 0) {
    form_.RichEdit1->HighlightLine(highlight_ - 1);
    highlight_ = 0;
  } else {
    form_.RichEdit1->viewport()->update();  // lines may have changed in place
  }
  if (form_.Memo1->LineCount() != static_cast<int>(Run().RunLog.size())) {
    form_.Memo1->LinesAppended();
    form_.Memo1->ScrollToEnd();
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
  form_.ProgressBar1->setRange(0, std::max<std::int32_t>(max, 1));
  progress_ = 0;
  shownProgress_ = -1;
  form_.ProgressBar1->setValue(0);
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
  if (on) form_.Animate1->Start();
  else form_.Animate1->Stop();
}

void WindowFrame::LetEventsRun() {
  ShowPending();
  RunEvents();
}

void WindowFrame::WorkTextReplaced() {
  form_.RichEdit1->LinesChanged();
}

bool WindowFrame::AskYesNo(std::string_view message) {
  ShowPending();
  return form_.prompts_->AskYesNo(&form_, QStringLiteral("確認"), QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())));
}

void WindowFrame::ShowCancelled(std::string_view message) {
  ShowPending();
  form_.prompts_->ShowMessage(&form_, QStringLiteral("中止"),
                              QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())),
                              MessageIcon::Stop);
}

void WindowFrame::ShowFatal(std::string_view message) {
  ShowPending();
  form_.prompts_->ShowMessage(&form_, QStringLiteral("確認"),
                              QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())),
                              MessageIcon::Stop);
}

void WindowFrame::RunEnded() {
  form_.EndOfRunState();
  ShowPending();
}

}  // namespace vostrel::gui
