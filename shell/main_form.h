#pragma once
// The main window: the four file fields, the start, cancel and end buttons,
// the working view, the log, the menus, and the compile run in the window.

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <array>
#include <filesystem>
#include <memory>
#include <optional>

#include "pipeline/compile_run.h"
#include "settings/app_settings.h"
#include "shell/screen_saver.h"

class QAction;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace vostrel::gui {

class BusyIndicator;
class FindingNavigator;
class LineTextView;
class WordListEditor;
class UserExtensionsDialog;
class ViewerDialog;
class UserPrompts;
class WindowFrame;

class TMainForm : public QMainWindow {
  Q_OBJECT
 public:
  struct Options {
    std::filesystem::path settingsPath;  // the settings file to load and save
    std::filesystem::path exeDir;        // the program's own folder
    QStringList arguments;               // the command line without the program
    UserPrompts* prompts = nullptr;      // nullptr: the real dialogs
    // The word list of a run; empty: by the data-folder rule at each run.
    std::filesystem::path wordListPath;
    QString startNotice;  // shown once in the status bar at start
  };

  explicit TMainForm(Options options, QWidget* parent = nullptr);
  ~TMainForm() override;

  // Fields and controls, by their component names.
  QLineEdit* LabeledEdit1;  // ｿｰｽﾌｧｲﾙ名
  QLineEdit* LabeledEdit2;  // ﾌｫﾙﾀﾞ（ｺﾝﾊﾟｲﾙ後）
  QLineEdit* LabeledEdit3;  // ﾌｧｲﾙ名（ｺﾝﾊﾟｲﾙ後)
  QLineEdit* LabeledEdit4;  // 拡張子(ｺﾝﾊﾟｲﾙ後)
  QPushButton* Button1;     // ... source
  QPushButton* Button2;     // ... folder
  QPushButton* Button3;     // 開始
  QPushButton* Button4;     // 中止
  QPushButton* Button5;     // 終了
  BusyIndicator* Animate1;
  QLabel* Label1;
  LineTextView* RichEdit1;  // the working lines
  LineTextView* Memo1;      // the log
  QProgressBar* ProgressBar1;
  QLabel* StatusText;

  QAction* DeskTop_set;
  QAction* SendTo_set;
  std::array<QAction*, 5> MenuFile{};
  QAction* FileExit1;
  QAction* op1;
  QAction* MacroA;
  QAction* endchg;
  QAction* chg16_10;
  QAction* op2;
  QAction* User_op;
  QAction* ChkList;
  QAction* Menu_help1;
  QAction* Menu_hp;
  QAction* Menu_ver;

  ViewerDialog* ViewForm() const { return viewer_; }
  FindingNavigator* Findings() const { return findings_; }
  UserExtensionsDialog* UserForm() const { return user_; }
  WordListEditor* ChkForm() const { return chk_; }
  settings::AppSettings& Settings() { return settings_; }
  CompileRun& Run() { return run_; }
  const std::string& FileFilters() const { return fileFilters_; }
  bool Running() const { return running_; }
  bool ScreenSaverInhibited() const { return screenSaver_.Inhibited(); }

  // Handlers.
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();
  void op1Click();
  void MacroAClick();
  void endchgClick();
  void chg16_10Click();
  void op2Click();
  void User_opClick();
  void RecentFileClick(int tag);
  void ChkListClick();
  void DeskTop_setClick();
  void SendTo_setClick();
  void Menu_help1Click();
  void Menu_hpClick();
  void Menu_verClick();

  void SelectSource(const QString& path);
  void AddRecentFile(const QString& path);
  void RefreshRecentMenu();
  // The dropped paths (local files or folders).
  void DropFiles(const QStringList& paths);

  // Writes the settings; false (after the message) when the file cannot be written.
  bool SaveSettings();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class WindowFrame;

  void BuildWindow();
  void BuildMenus();
  void LoadSettings();
  void ReadCommandLine(const QStringList& arguments);
  void ToggleFlag(QAction* item, std::string& flag);
  // Every end of a run: 開始 and 終了 on, 中止 off, screen saver allowed.
  void EndOfRunState();
  void RunCompile();
  bool OutputFieldKey(QLineEdit* field, const QString& typed);

  Options options_;
  UserPrompts* prompts_;
  std::unique_ptr<UserPrompts> ownPrompts_;
  settings::AppSettings settings_;
  // The settings file as loaded at start; the close merges into it.
  settings::IniFile settingsFile_;
  // Why the file could not be read at start (empty when it could, or when
  // there was none).
  std::string settingsReadError_;
  CompileRun run_{settings_.Run};
  std::string fileFilters_;
  ScreenSaverInhibitor screenSaver_;
  ViewerDialog* viewer_ = nullptr;
  FindingNavigator* findings_ = nullptr;
  UserExtensionsDialog* user_ = nullptr;
  WordListEditor* chk_ = nullptr;
  bool running_ = false;
  bool closeAfterRun_ = false;
};

}  // namespace vostrel::gui
