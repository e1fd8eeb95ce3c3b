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

class UserExtensionsDialog : public QDialog {
  Q_OBJECT
 public:
  UserExtensionsDialog(settings::AppSettings& settings, UserPrompts& prompts, QWidget* mainWindow);

  QLineEdit* User1NameField;  // ﾕｰｻﾞ定義１(表示名)
  QLineEdit* User1MaskField;  // 拡張子
  QLineEdit* User2NameField;  // ﾕｰｻﾞ定義２(表示名)
  QLineEdit* User2MaskField;  // 拡張子
  QPushButton* ChangeButton;  // 変更
  QPushButton* CancelButton;  // 中止
  QPushButton* BackButton;    // 戻る

  // 変更: the fields, masks normalised and empty ones defaulted, go to the settings.
  void ApplyChanges();
  // 中止: the fields go back to the settings.
  void Cancel();
  // 戻る: closes and changes nothing.
  void GoBack();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void PlaceAndFill();
  void FillFields();

  settings::AppSettings& settings_;
  UserPrompts& prompts_;
  QWidget* mainWindow_;
};

}  // namespace vostrel::gui
