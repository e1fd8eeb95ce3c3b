// What the main window's menu items do: the run options, the user-defined
// extensions, the word-list editor, the shortcuts, help, the home page and
// the version. The items themselves are made in main_window.cpp.

#include <QAction>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>

#include "platform/exe_path.h"
#include "platform/shortcut.h"
#include "shell/desk_services.h"
#include "shell/main_window.h"
#include "shell/path_rules.h"
#include "shell/settings_text.h"
#include "shell/user_extensions_dialog.h"
#include "shell/word_list_editor.h"
#include "viewer/toolpath_tab.h"
#include "viewer/viewer_dialog.h"

namespace vostrel::gui {

// ---- ファイル ----

void MainWindow::ShowToolpath() {
  if (viewer_->Result().empty()) return;
  // The viewer opens on its first tab; the path's tab is chosen once it shows.
  QTimer::singleShot(0, viewer_, [this] { viewer_->Tabs->setCurrentWidget(viewer_->PathTab); });
  viewer_->exec();
}

// ---- ｵﾌﾟｼｮﾝ ----

void MainWindow::ToggleFlag(QAction* item, std::string& flag) {
  item->setChecked(!item->isChecked());
  flag = item->isChecked() ? "Y" : "N";
}

void MainWindow::ToggleMacroA() { ToggleFlag(MacroAAction, settings_.Run.Chg_MacroA); }
void MainWindow::ToggleLineEndConversion() { ToggleFlag(LineEndConversionAction, settings_.Run.EndChar); }
void MainWindow::ToggleHexToDecimal() { ToggleFlag(HexToDecimalAction, settings_.Run.chg16_10); }
void MainWindow::ToggleKeepEmptyLines() { ToggleFlag(KeepEmptyLinesAction, settings_.Run.End_set); }

void MainWindow::ToggleOutputBesideSource() {
  const QString source = SourceField->text();
  if (OutputBesideSourceAction->isChecked()) {
    OutputBesideSourceAction->setChecked(false);
    settings_.ChgPath_Flg = "N";
    OutputFolderField->setText(settings_.DirPath == settings_.ChgPath ? FolderWithSeparator(source)
                                                                      : FromCp932(settings_.ChgPath));
  } else {
    OutputBesideSourceAction->setChecked(true);
    settings_.ChgPath_Flg = "Y";
    OutputFolderField->setText(FolderWithSeparator(source));
  }
  settings_.DirPath = ToCp932(FolderWithoutSeparator(source));
}

// ---- 設定 ----

void MainWindow::EditUserExtensions() {
  extensions_->exec();
  fileFilters_ = settings::FileFilterList(settings_);
}

void MainWindow::EditWordList() { wordEditor_->exec(); }

// ---- ファイル ----

void MainWindow::CreateDesktopShortcut() {
  platform::CreateShortcut(platform::ShortcutPlace::Desktop, platform::ExecutablePath());
}

void MainWindow::AddToSendTo() {
  platform::CreateShortcut(platform::ShortcutPlace::SendTo, platform::ExecutablePath());
}

// ---- ヘルプ ----

void MainWindow::OpenHelpContents() {
  // The help file goes by the running program's name, in its folder.
  std::filesystem::path exe = platform::ExecutablePath().filename();
  if (exe.empty()) exe = "vostrel";
  OpenHelp(this, *prompts_, options_.exeDir / exe);
}

void MainWindow::OpenAuthorHomePage() { OpenHomePage(this, *prompts_, HomePageAddress()); }

void MainWindow::ShowVersion() { ShowAbout(this, VersionText()); }

}  // namespace vostrel::gui
