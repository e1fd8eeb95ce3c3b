#pragma once
// The result and log viewer: the compiled text and the run's log on two
// tabs; "保存" writes the compiled text to the target file.

#include <QDialog>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "pipeline/text_lines.h"

class QLabel;
class QPushButton;
class QTabWidget;

namespace vostrel::settings {
struct AppSettings;
}

namespace vostrel::gui {

class LineTextView;
class ListingPrinter;
class ToolpathTab;
class PrintSettingsDialog;
class TextFindBar;
class RenumberCommand;
class UserPrompts;

class ViewerDialog : public QDialog {
  Q_OBJECT
 public:
  ViewerDialog(settings::AppSettings& settings, UserPrompts& prompts, QWidget* parent = nullptr);

  // The hand-off of a completed run: the compiled lines, the log, the target
  // (UTF-8 path). Enables "保存".
  void HandOff(TextLines lines, std::vector<std::string> log, const std::string& targetPath);
  // Called by "戻る" before the viewer closes: empty the main window's log.
  void SetClearMainLog(std::function<void()> clear) { clearMainLog_ = std::move(clear); }

  const TextLines& Result() const { return *result_; }
  const std::vector<std::string>& Log() const { return log_; }
  // A new result of the same run (renumbered, or undone): shown, and to be
  // saved again.
  void ReplaceResult(TextLines lines, std::vector<std::string> log);
  // A new run starts: the last result, its path, its print lines and its
  // undo steps are let go, so that the run does not hold them beside its
  // own text.
  void DropResult();

  QLabel* TargetLabel;  // the target path
  QTabWidget* Tabs;
  QWidget* ResultTab;  // 変換ﾃﾞｰﾀ
  QWidget* LogTab;     // ログデータ
  ToolpathTab* PathTab;  // 経路
  LineTextView* ResultView;
  LineTextView* LogView;
  QPushButton* SaveButton;           // 保存
  QPushButton* PrintButton;          // 印刷
  QPushButton* PrintSettingsButton;  // 印刷設定
  QPushButton* BackButton;           // 戻る
  ListingPrinter* Printing;            // the print buffer and the printer
  PrintSettingsDialog* PrintSettings;  // 印刷設定
  TextFindBar* FindBar;                // Ctrl+F, Ctrl+G (viewer_dialog_tools.cpp)
  RenumberCommand* Renumbering;        // 番号振り直し... and its undo

  // The text view of the tab in front (nullptr when it shows no text).
  LineTextView* ShownTextView() const;

  void SaveResult();
  void PrintResult();
  void EditPrintSettings();
  void GoBack();

  void setVisible(bool visible) override;

 signals:
  void ResultHandedOff();  // a new run's result
  void ResultDropped();
  void ResultSaved();

 protected:
  void done(int result) override;

 private:
  void AddTools();
  void ApplyViewSettings();
  void StoreGeometry();

  settings::AppSettings& settings_;
  UserPrompts& prompts_;
  std::function<void()> clearMainLog_;
  // Shared with the 経路 tab's thread while it executes the lines, so
  // that the viewer holds the one copy of them.
  std::shared_ptr<const TextLines> result_ = std::make_shared<const TextLines>();
  std::vector<std::string> log_;
  std::string targetPath_;
};

}  // namespace vostrel::gui
