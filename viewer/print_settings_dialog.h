#pragma once
// The print settings dialog: the header, line-number and page-number
// switches and the four margins of a printout.

#include <QDialog>

#include <functional>

class QCheckBox;
class QKeyEvent;
class QLineEdit;
class QPushButton;

namespace vostrel::settings {
struct AppSettings;
}

namespace vostrel::gui {

class PrintSettingsDialog : public QDialog {
  Q_OBJECT
 public:
  // `mainWindow` is the window the dialog is placed against when shown.
  PrintSettingsDialog(settings::AppSettings& settings, QWidget* mainWindow, QWidget* parent = nullptr);

  // What "プリンタ設定" opens.
  void SetPrinterSetup(std::function<void(QWidget* owner)> setup) { printerSetup_ = std::move(setup); }

  QCheckBox* FullPathBox;     // フルパス名を印刷
  QCheckBox* FileNameBox;     // ファイル名を印刷
  QCheckBox* LineNumbersBox;  // 行番号を印刷
  QCheckBox* PageNumbersBox;  // ページ番号を印刷
  QLineEdit* LeftMarginField;
  QLineEdit* TopMarginField;
  QLineEdit* BottomMarginField;
  QLineEdit* RightMarginField;
  QPushButton* SaveButton;          // 保存
  QPushButton* BackButton;          // 戻る
  QPushButton* PrinterSetupButton;  // プリンタ設定

  // Placed against the main window and filled from the settings at every showing.
  void PlaceAndFill();
  // The full path and the file name exclude each other in the header.
  void FullPathToggled();
  void FileNameToggled();
  // Any change enables "保存".
  void SettingChanged();
  // True when the typed key is let through to the margin field.
  bool MarginKeyAllowed(QLineEdit* field, const QKeyEvent& key) const;
  void StoreSettings();
  void OpenPrinterSetup();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  settings::AppSettings& settings_;
  QWidget* mainWindow_;
  std::function<void(QWidget*)> printerSetup_;
};

}  // namespace vostrel::gui
