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

class TPrintCtrlDlg : public QDialog {
  Q_OBJECT
 public:
  // `mainWindow` is the window the dialog is placed against when shown.
  TPrintCtrlDlg(settings::AppSettings& settings, QWidget* mainWindow, QWidget* parent = nullptr);

  // What "プリンタ設定" opens.
  void SetPrinterSetup(std::function<void(QWidget* owner)> setup) { printerSetup_ = std::move(setup); }

  QCheckBox* CkBoxFilePath;
  QCheckBox* CkBoxFileName;
  QCheckBox* CkBoxLineNo;
  QCheckBox* CkBoxPageNum;
  QLineEdit* Edit1;  // left margin
  QLineEdit* Edit2;  // top margin
  QLineEdit* Edit3;  // bottom margin
  QLineEdit* Edit4;  // right margin
  QPushButton* Button1;  // 保存
  QPushButton* Button2;  // 戻る
  QPushButton* Button3;  // プリンタ設定

  void FormShow();
  void CkBoxFilePathClick();
  void CkBoxFileNameClick();
  void CkBoxPageNumClick();
  // True when the typed key is let through to the margin field.
  bool Edit1KeyPress(QLineEdit* field, const QKeyEvent& key) const;
  void Button1Click();
  void Button3Click();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  settings::AppSettings& settings_;
  QWidget* mainWindow_;
  std::function<void(QWidget*)> printerSetup_;
};

}  // namespace vostrel::gui
