#include "viewer/view_form.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "pipeline/output_file.h"
#include "settings/app_settings.h"
#include "gui_common/fonts.h"
#include "gui_common/prompts.h"
#include "gui_common/window_place.h"
#include "viewer/line_text_view.h"
#include "viewer/print_ctrl_dlg.h"
#include "viewer/print_form.h"

namespace vostrel::gui {

TViewForm::TViewForm(settings::AppSettings& settings, UserPrompts& prompts, QWidget* parent)
    : QDialog(parent), settings_(settings), prompts_(prompts) {
  setObjectName(QStringLiteral("ViewForm"));
  setWindowTitle(QStringLiteral("ログ表示"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setModal(true);
  setFont(JapanesePixelFont(Pitch::Proportional, 12));

  Label1 = new QLabel(this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setTextInteractionFlags(Qt::TextSelectableByMouse);
  Label1->setTextFormat(Qt::PlainText);

  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  TabSheet1 = new QWidget;
  TabSheet2 = new QWidget;
  RichEdit1 = new LineTextView(TabSheet1);
  RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
  RichEdit2 = new LineTextView(TabSheet2);
  RichEdit2->setObjectName(QStringLiteral("RichEdit2"));
  for (auto [sheet, view] : {std::pair{TabSheet1, RichEdit1}, std::pair{TabSheet2, RichEdit2}}) {
    auto* layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(view);
  }
  PageControl1->addTab(TabSheet1, QStringLiteral("変換ﾃﾞｰﾀ"));
  PageControl1->addTab(TabSheet2, QStringLiteral("ログデータ"));
  RichEdit1->SetLines(&result_, LineTextView::Encoding::ShiftJis);
  RichEdit2->SetLines(&log_, LineTextView::Encoding::Utf8);

  Button1 = new QPushButton(QStringLiteral("保存"), this);
  Button2 = new QPushButton(QStringLiteral("印刷"), this);
  Button3 = new QPushButton(QStringLiteral("印刷設定"), this);
  Button4 = new QPushButton(QStringLiteral("戻る"), this);
  int n = 1;
  for (QPushButton* button : {Button1, Button2, Button3, Button4}) {
    button->setObjectName(QStringLiteral("Button%1").arg(n++));
    button->setAutoDefault(false);
  }
  PrintForm = new TPrintForm(settings_, prompts_, this);
  PrintCtrlDlg = new TPrintCtrlDlg(settings_, parent ? parent->window() : this, this);
  PrintCtrlDlg->SetPrinterSetup([this](QWidget* owner) { PrintForm->PrinterSetup(owner); });
  Button1->setEnabled(false);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Button1);
  buttons->addWidget(Button2);
  buttons->addWidget(Button3);
  buttons->addStretch(1);
  buttons->addWidget(Button4);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addWidget(Label1);
  layout->addWidget(PageControl1, 1);
  layout->addLayout(buttons);

  connect(Button1, &QPushButton::clicked, this, &TViewForm::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TViewForm::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TViewForm::Button3Click);
  connect(Button4, &QPushButton::clicked, this, &TViewForm::Button4Click);
}

void TViewForm::HandOff(TextLines lines, std::vector<std::string> log, const std::string& targetPath) {
  result_ = std::move(lines);
  RichEdit1->SetLines(&result_, LineTextView::Encoding::ShiftJis);
  log_ = std::move(log);
  RichEdit2->SetLines(&log_, LineTextView::Encoding::Utf8);
  Button1->setEnabled(true);
  targetPath_ = targetPath;
  Label1->setText(QString::fromStdString(targetPath));
}

void TViewForm::setVisible(bool visible) {
  // Placed before the window is mapped, so that the window manager puts the
  // frame where it was closed.
  if (visible && !isVisible()) FormShow();
  QDialog::setVisible(visible);
}

void TViewForm::FormShow() {
  setFixedSize(std::max(settings_.View.Width, 200), std::max(settings_.View.Height, 150));
  move(FramePositionOnScreen(QPoint(settings_.View.Left, settings_.View.Top), size()));
  RichEdit1->setFont(JapaneseFont(Pitch::Proportional, settings_.View.FontSize));
  PageControl1->setCurrentIndex(0);
}

void TViewForm::StoreGeometry() {
  settings_.View.Left = pos().x();
  settings_.View.Top = pos().y();
  settings_.View.Width = width();
  settings_.View.Height = height();
}

void TViewForm::done(int result) {
  StoreGeometry();
  QDialog::done(result);
}

void TViewForm::Button1Click() {
  // The compiled lines themselves, each followed by CR LF; written to a
  // temporary file first and renamed over the target.
  std::string error;
  const std::filesystem::path path(std::u8string(targetPath_.begin(), targetPath_.end()));
  if (targetPath_.empty() || !SaveLines(path, result_, &error)) {
    prompts_.ShowMessage(this, QStringLiteral("確認"),
                         QStringLiteral("ファイル %1 を作成できません\n%2")
                             .arg(QString::fromStdString(targetPath_), QString::fromStdString(error)),
                         MessageIcon::Stop);
    return;
  }
  Button1->setEnabled(false);
}

void TViewForm::Button4Click() {
  if (clearMainLog_) clearMainLog_();
  close();
}

}  // namespace vostrel::gui
