#pragma once
// The main window: the four file fields, the start, cancel and exit buttons,
// the working view, the log, the menus, and the compile run in the window.
//
// Its code is split by concern:
//   main_window.cpp           the layout and the menus
//   main_window_fields.cpp    the file fields, their key rules, recent files and drops
//   main_window_menus.cpp     what the menu items do
//   main_window_run.cpp       the run, from "開始" to the viewer
//   main_window_settings.cpp  the settings file at start and at the close

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <array>
#include <filesystem>
#include <memory>
#include <optional>

#include "pipeline/compile_run.h"
#include "settings/app_settings.h"
#include "platform/screen_saver.h"

class QAction;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace vostrel::gui {

class BusyIndicator;
class FindingNavigator;
class LineTextView;
class UserExtensionsDialog;
class UserPrompts;
class ViewerDialog;
class WindowFrame;
class WordListEditor;

class MainWindow : public QMainWindow {
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

  explicit MainWindow(Options options, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The file fields and the buttons.
  QLineEdit* SourceField;           // ｿｰｽﾌｧｲﾙ名
  QLineEdit* OutputFolderField;     // ﾌｫﾙﾀﾞ（ｺﾝﾊﾟｲﾙ後）
  QLineEdit* OutputNameField;       // ﾌｧｲﾙ名（ｺﾝﾊﾟｲﾙ後)
  QLineEdit* OutputExtensionField;  // 拡張子(ｺﾝﾊﾟｲﾙ後)
  QPushButton* ChooseSourceButton;  // ... beside the source
  QPushButton* ChooseFolderButton;  // ... beside the folder
  QPushButton* StartButton;         // 開始
  QPushButton* CancelButton;        // 中止
  QPushButton* ExitButton;          // 終了
  BusyIndicator* BusyAnimation;
  // What a run shows: the target, the text being rewritten, the log, the
  // progress of the stage under way and what it is doing.
  QLabel* TargetLabel;
  LineTextView* WorkingTextView;
  LineTextView* LogView;
  QProgressBar* ProgressBar;
  QLabel* StatusText;

  // The menu items.
  QAction* DesktopShortcutAction;         // ﾃﾞｨｽｸﾄｯﾌﾟにｼｮｰﾄｶｯﾄ作成
  QAction* SendToAction;                  // SendTo(送る)に登録
  QAction* ToolpathAction;                // 経路表示 (after a run)
  std::array<QAction*, 5> RecentFileActions{};
  QAction* ExitAction;                    // 終了
  QAction* OutputBesideSourceAction;      // ｺﾝﾊﾟｲﾙ後ﾌｧｲﾙをｿｰｽﾌｧｲﾙﾌｫﾙﾀﾞ
  QAction* MacroAAction;                  // マクロＡに変換
  QAction* LineEndConversionAction;       // 改行ｺｰﾄﾞ変換
  QAction* HexToDecimalAction;            // 16進から１０進変換
  QAction* KeepEmptyLinesAction;          // ﾃﾞｰﾀの無い行も残す
  QAction* UserExtensionsAction;          // ﾕｰｻﾞ定義(拡張子)
  QAction* EditWordListAction;            // 構文ﾁｪｯｸﾘｽﾄ編集
  QAction* HelpContentsAction;            // ヘルプ目次
  QAction* HomePageAction;                // 作者ホームページ
  QAction* VersionAction;                 // バージョン

  ViewerDialog* Viewer() const { return viewer_; }
  FindingNavigator* Findings() const { return findings_; }
  UserExtensionsDialog* ExtensionsDialog() const { return extensions_; }
  WordListEditor* WordEditor() const { return wordEditor_; }
  settings::AppSettings& Settings() { return settings_; }
  CompileRun& Run() { return run_; }
  const std::string& FileFilters() const { return fileFilters_; }
  bool Running() const { return running_; }
  bool ScreenSaverInhibited() const { return screenSaver_.Inhibited(); }

  // The buttons (main_window_fields.cpp, main_window_run.cpp).
  void ChooseSource();
  void ChooseOutputFolder();
  void StartCompile();
  void CancelCompile();

  // The menu items (main_window_menus.cpp).
  void ToggleOutputBesideSource();
  void ToggleMacroA();
  void ToggleLineEndConversion();
  void ToggleHexToDecimal();
  void ToggleKeepEmptyLines();
  void EditUserExtensions();
  void OpenRecentFile(int number);  // 1 to 5
  void EditWordList();
  void CreateDesktopShortcut();
  void AddToSendTo();
  void OpenHelpContents();
  void OpenAuthorHomePage();
  void ShowVersion();
  void ShowToolpath();  // the viewer on its 経路 tab

  // The source and the recent files (main_window_fields.cpp).
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

  // Start (main_window.cpp, main_window_settings.cpp).
  void BuildLayout();
  void BuildMenus();
  void ShowLogHeading();
  void FixSize();
  void LoadSettings();
  void ReadCommandLine(const QStringList& arguments);
  void CreateDialogs();

  void ToggleFlag(QAction* item, std::string& flag);
  // True when the key typed into an output field is refused (after the message).
  bool RefuseOutputFieldKey(QLineEdit* field, const QString& typed);
  // Every end of a run: 開始 and 終了 on, 中止 off, screen saver allowed.
  void EndOfRunState();
  void RunCompile();

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
  platform::ScreenSaverInhibitor screenSaver_;
  ViewerDialog* viewer_ = nullptr;
  FindingNavigator* findings_ = nullptr;
  UserExtensionsDialog* extensions_ = nullptr;
  WordListEditor* wordEditor_ = nullptr;
  bool running_ = false;
  bool closeAfterRun_ = false;
};

}  // namespace vostrel::gui
