// The main window's settings: the settings file and the command line read
// at start, the settings written at the close, and a close during a run.

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>

#include "gui_common/prompts.h"
#include "gui_common/window_place.h"
#include "shell/busy_indicator.h"
#include "shell/main_window.h"
#include "shell/settings_text.h"
#include "text/path_text.h"

namespace vostrel::gui {

void MainWindow::LoadSettings() {
  settings::IniFile& file = settingsFile_;
  // An unreadable file reads as no file, and is not overwritten at the
  // close without asking.
  if (!file.Load(options_.settingsPath, &settingsReadError_) && settingsReadError_.empty())
    settingsReadError_ = "unreadable";
  settings::ReadMainPosition(file, settings_);
  // The frame's top-left corner, as saved at close.
  move(FramePositionOnScreen(QPoint(settings_.Main.Left, settings_.Main.Top), frameGeometry().size()));
  settings::ReadRemainingSettings(file, settings_);
  fileFilters_ = settings::FileFilterList(settings_);
  BusyAnimation->Stop();
  OutputBesideSourceAction->setChecked(IsOn(settings_.ChgPath_Flg));
  MacroAAction->setChecked(IsOn(settings_.Run.Chg_MacroA));
  LineEndConversionAction->setChecked(IsOn(settings_.Run.EndChar));
  HexToDecimalAction->setChecked(IsOn(settings_.Run.chg16_10));
  KeepEmptyLinesAction->setChecked(IsOn(settings_.Run.End_set));
  ReadCommandLine(options_.arguments);
}

void MainWindow::ReadCommandLine(const QStringList& arguments) {
  for (int i = 0; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    // A path, or the name of a file in the current folder (vostrel O1000.nc).
    const bool isPath = argument.contains(QLatin1Char('/'))
#ifdef _WIN32
                        || argument.contains(QLatin1Char('\\'))
#endif
                        || QFileInfo(argument).isFile();
    if (isPath) {
      SelectSource(QFileInfo(argument).isRelative() ? QDir::toNativeSeparators(QFileInfo(argument).absoluteFilePath())
                                                    : argument);
      return;
    }
    if (i < static_cast<int>(run_.RunArguments.size())) run_.RunArguments[i] = ToCp932(argument);
    // A name with an extension was most likely meant as the source.
    if (!QFileInfo(argument).suffix().isEmpty() && !QFileInfo(argument).completeBaseName().isEmpty()) {
      if (!options_.startNotice.isEmpty()) options_.startNotice += QStringLiteral("　");
      options_.startNotice += argument + QStringLiteral(" は見つからないため #IF の語として使います");
    }
  }
}

bool MainWindow::SaveSettings() {
  settings_.Main.Left = pos().x();
  settings_.Main.Top = pos().y();
  const QString path = QString::fromStdString(PathToUtf8(options_.settingsPath));
  if (!settingsReadError_.empty()) {
    // Writing would replace whatever that file holds by the settings alone.
    if (!prompts_->AskYesNo(this, QStringLiteral("確認"),
                            QStringLiteral("%1 は起動時に読み込めませんでした（%2）。\n今の設定で上書きしますか？")
                                .arg(path, QString::fromStdString(settingsReadError_)))) {
      screenSaver_.Allow();
      return true;  // closes without writing
    }
    settingsReadError_.clear();
  }
  // What was loaded at start, with every setting merged in: comments,
  // unknown keys and the order of the file stay, even when the file cannot
  // be read any more.
  settings::WriteAppSettings(settings_, settingsFile_);
  std::string error;
  if (!settingsFile_.Save(options_.settingsPath, &error)) {
    prompts_->ShowMessage(this, QStringLiteral("確認"),
                          QStringLiteral("%1 に書き込めません\n%2").arg(path, QString::fromStdString(error)),
                          MessageIcon::Stop);
    return false;
  }
  screenSaver_.Allow();
  return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (running_) {
    // Never close under the running handler: cancel, and close when the run is over.
    closeAfterRun_ = true;
    if (CancelButton->isEnabled()) CancelCompile();
    event->ignore();
    return;
  }
  closeAfterRun_ = false;
  if (!SaveSettings()) {
    event->ignore();
    return;
  }
  event->accept();
}

}  // namespace vostrel::gui
