#pragma once
// The user-defined extensions dialog: display names and file masks of the
// two user filters of the source open dialog.

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace vostrel::settings {
struct AppSettings;
}

namespace vostrel::gui {

class UserPrompts;

// A file mask as the dialog stores it: unchanged when it holds "*.",
// "*" put in front when it holds a dot, else "*." put in front.
QString NormaliseMask(const QString& mask);

class TUser : public QDialog {
  Q_OBJECT
 public:
  TUser(settings::AppSettings& settings, UserPrompts& prompts, QWidget* mainWindow);

  QLineEdit* LabeledEdit1;  // ﾕｰｻﾞ定義１(表示名)
  QLineEdit* LabeledEdit2;  // 拡張子
  QLineEdit* LabeledEdit3;  // ﾕｰｻﾞ定義２(表示名)
  QLineEdit* LabeledEdit4;  // 拡張子
  QPushButton* Button1;     // 変更
  QPushButton* Button2;     // 中止
  QPushButton* Button3;     // 戻る

  void Button1Click();
  void Button2Click();
  void Button3Click();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void FormShow();
  void FillFields();

  settings::AppSettings& settings_;
  UserPrompts& prompts_;
  QWidget* mainWindow_;
};

}  // namespace vostrel::gui
