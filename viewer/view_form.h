#pragma once
// The result and log viewer: the compiled text and the run's log on two
// tabs; "保存" writes the compiled text to the target file.

#include <QDialog>

#include <functional>
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
class TPrintCtrlDlg;
class TPrintForm;
class UserPrompts;

class TViewForm : public QDialog {
  Q_OBJECT
 public:
  TViewForm(settings::AppSettings& settings, UserPrompts& prompts, QWidget* parent = nullptr);

  // The hand-off of a completed run: the compiled lines, the log, the target
  // (UTF-8 path). Enables "保存".
  void HandOff(TextLines lines, std::vector<std::string> log, const std::string& targetPath);
  // Called by "戻る" before the viewer closes: empty the main window's log.
  void SetClearMainLog(std::function<void()> clear) { clearMainLog_ = std::move(clear); }

  const TextLines& Result() const { return result_; }

  QLabel* Label1;
  QTabWidget* PageControl1;
  QWidget* TabSheet1;
  QWidget* TabSheet2;
  LineTextView* RichEdit1;
  LineTextView* RichEdit2;
  QPushButton* Button1;  // 保存
  QPushButton* Button2;  // 印刷
  QPushButton* Button3;  // 印刷設定
  QPushButton* Button4;  // 戻る
  TPrintForm* PrintForm;        // the print buffer and the printer
  TPrintCtrlDlg* PrintCtrlDlg;  // 印刷設定

  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();

  void setVisible(bool visible) override;

 protected:
  void done(int result) override;

 private:
  void FormShow();
  void StoreGeometry();

  settings::AppSettings& settings_;
  UserPrompts& prompts_;
  std::function<void()> clearMainLog_;
  TextLines result_;
  std::vector<std::string> log_;
  std::string targetPath_;
};

}  // namespace vostrel::gui
