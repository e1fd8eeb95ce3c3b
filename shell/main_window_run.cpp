// The run in the main window: from "開始" through the stages to the viewer,
// "中止", and the state of the buttons at every end of a run.

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

#include <exception>
#include <new>
#include <utility>

#include "gui_common/prompts.h"
#include "pipeline/compile.h"
#include "settings/data_folder.h"
#include "shell/busy_indicator.h"
#include "shell/finding_navigator.h"
#include "shell/main_window.h"
#include "shell/path_rules.h"
#include "shell/window_frame.h"
#include "viewer/line_text_view.h"
#include "viewer/toolpath_tab.h"
#include "viewer/viewer_dialog.h"

namespace vostrel::gui {

namespace fs = std::filesystem;

namespace {

QString Utf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

std::string Utf8Bytes(const QString& text) { return text.toStdString(); }

}  // namespace

void MainWindow::EndOfRunState() {
  StartButton->setEnabled(true);
  ExitButton->setEnabled(true);
  CancelButton->setEnabled(false);
  BusyAnimation->Stop();
  screenSaver_.Allow();
}

void MainWindow::CancelCompile() {
  screenSaver_.Allow();
  run_.CancelFlag = true;
  CancelButton->setEnabled(false);
}

void MainWindow::StartCompile() {
  if (running_) return;
  running_ = true;
  try {
    RunCompile();
  } catch (const std::bad_alloc&) {
    // Outside the stages (which name themselves): loading or the hand-off.
    prompts_->ShowMessage(this, QStringLiteral("確認"),
                          QStringLiteral("ソースの読み込みか結果の受け渡しでメモリが足りなくなりました。\n"
                                         "コンパイルを中止します。"),
                          MessageIcon::Stop);
    EndOfRunState();
  } catch (const std::exception& failure) {
    // Nothing may escape into the event loop: end the run and say why.
    prompts_->ShowMessage(this, QStringLiteral("確認"),
                          QStringLiteral("コンパイル中に異常が発生しました。\n") + Utf8(failure.what()) +
                              QStringLiteral("\nコンパイルを中止します。"),
                          MessageIcon::Stop);
    EndOfRunState();
  }
  running_ = false;
  WorkingTextView->LinesChanged();
  LogView->LinesChanged();
  if (closeAfterRun_) QTimer::singleShot(0, this, &QWidget::close);
}

void MainWindow::RunCompile() {
  screenSaver_.Inhibit();
  run_.CancelFlag = false;
  CancelButton->setEnabled(true);

  // Every field must be filled; the last empty one gets the focus and the
  // status bar names every empty one.
  const std::pair<QLineEdit*, QString> fields[] = {
      {SourceField, QStringLiteral("ｿｰｽﾌｧｲﾙ名")},
      {OutputFolderField, QStringLiteral("ﾌｫﾙﾀﾞ（ｺﾝﾊﾟｲﾙ後）")},
      {OutputNameField, QStringLiteral("ﾌｧｲﾙ名（ｺﾝﾊﾟｲﾙ後)")},
      {OutputExtensionField, QStringLiteral("拡張子(ｺﾝﾊﾟｲﾙ後)")},
  };
  QStringList empty;
  for (const auto& [field, caption] : fields) {
    if (field->text().isEmpty()) {
      field->setFocus();
      empty << caption;
    }
  }
  if (!empty.isEmpty()) {
    StatusText->setText(empty.join(QStringLiteral("、")) + QStringLiteral(" が空です。"));
    return EndOfRunState();
  }

  AddRecentFile(SourceField->text());
  const QString target = TargetFolderPart(OutputFolderField->text()) + OutputNameField->text() + QLatin1Char('.') +
                         OutputExtensionField->text();
  run_.TargetPath = Utf8Bytes(target);

  run_.Reset();
  findings_->Clear();
  ToolpathAction->setEnabled(false);  // the last result's path is no longer this source's
  viewer_->DropResult();
  WorkingTextView->LinesChanged();
  LogView->LinesChanged();

  WindowFrame frame(run_, *this);
  if (QFileInfo::exists(target)) {
    if (!prompts_->AskYesNo(this, QStringLiteral("確認"),
                            QStringLiteral("すでに") + target + QStringLiteral("が有ります。\n上書きしますか？"))) {
      run_.TargetPath.clear();
      OutputNameField->setFocus();
      return EndOfRunState();
    }
  }

  StartButton->setEnabled(false);
  ExitButton->setEnabled(false);
  TargetLabel->setText(QStringLiteral("名前:") + target);
  run_.WordListPath = options_.wordListPath.empty() ? settings::WordListFilePath(options_.exeDir)
                                                    : options_.wordListPath;

  const QString source = SourceField->text();
  const fs::path sourcePath(source.toStdU16String());
  // Relative include paths are found beside the source, however it was
  // chosen and whatever the current folder is.
  std::error_code ec;
  run_.IncludeBaseFolder = fs::absolute(sourcePath, ec).parent_path();
  if (!LoadSource(sourcePath, run_, frame, platform::Pipes::Refuse)) {
    prompts_->ShowMessage(this, QStringLiteral("確認"),
                          QStringLiteral("ファイル %1 ").arg(source) +
                              (fs::exists(sourcePath, ec) ? QStringLiteral("を読み込めません。")
                                                          : QStringLiteral("が見つかりません。")),
                          MessageIcon::Stop);
    SourceField->setFocus();
    return EndOfRunState();
  }
  const RunResult result = RunStages(run_, frame);
  findings_->ShowCounts();
  if (result != RunResult::Completed) {
    frame.ShowPending();
    return;  // the frame has shown the end and restored the buttons
  }

  frame.LetEventsRun();
  // The lines and their origins go to the viewer; the run keeps no copy.
  viewer_->PathTab->SetSourceMap(run_.SourcePath, run_.LinesAreSourceLines ? std::vector<std::int32_t>()
                                                                           : std::move(run_.LineOrigins));
  viewer_->HandOff(std::move(run_.WorkLines), run_.RunLog, run_.TargetPath);
  run_.ClearLines();
  ToolpathAction->setEnabled(true);
  WorkingTextView->LinesChanged();
  frame.ShowPending();
  screenSaver_.Allow();
  viewer_->exec();
  EndOfRunState();
}

}  // namespace vostrel::gui
