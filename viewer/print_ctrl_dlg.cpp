#include "viewer/print_ctrl_dlg.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QShowEvent>
#include <QVBoxLayout>

#include "settings/app_settings.h"
#include "gui_common/fonts.h"

namespace vostrel::gui {

namespace {

// A margin field with its label before and its unit after, the way the
// label "左余白        ㎜" frames the field.
QWidget* MarginRow(const QString& name, QLineEdit* field, QWidget* parent) {
  auto* row = new QWidget(parent);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  auto* label = new QLabel(name, row);
  label->setBuddy(field);
  layout->addWidget(label);
  layout->addWidget(field);
  layout->addWidget(new QLabel(QStringLiteral("㎜"), row));
  return row;
}

int MarginValue(const QLineEdit* field) {
  bool ok = false;
  const int value = field->text().trimmed().toInt(&ok, 10);
  return ok ? value : 0;
}

}  // namespace

TPrintCtrlDlg::TPrintCtrlDlg(settings::AppSettings& settings, QWidget* mainWindow, QWidget* parent)
    : QDialog(parent), settings_(settings), mainWindow_(mainWindow) {
  setObjectName(QStringLiteral("PrintCtrlDlg"));
  setWindowTitle(QStringLiteral("印刷設定"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setModal(true);
  setFont(JapanesePixelFont(Pitch::Proportional, 12));

  CkBoxFilePath = new QCheckBox(QStringLiteral("フルパス名を印刷"), this);
  CkBoxFileName = new QCheckBox(QStringLiteral("ファイル名を印刷"), this);
  CkBoxLineNo = new QCheckBox(QStringLiteral("行番号を印刷"), this);
  CkBoxPageNum = new QCheckBox(QStringLiteral("ページ番号を印刷"), this);
  CkBoxFilePath->setObjectName(QStringLiteral("CkBoxFilePath"));
  CkBoxFileName->setObjectName(QStringLiteral("CkBoxFileName"));
  CkBoxLineNo->setObjectName(QStringLiteral("CkBoxLineNo"));
  CkBoxPageNum->setObjectName(QStringLiteral("CkBoxPageNum"));

  const QFontMetrics metrics(font());
  auto* digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,2}")), this);
  int n = 1;
  for (QLineEdit** field : {&Edit1, &Edit2, &Edit3, &Edit4}) {
    *field = new QLineEdit(this);
    (*field)->setObjectName(QStringLiteral("Edit%1").arg(n++));
    (*field)->setMaxLength(2);
    (*field)->setValidator(digits);  // pasted text too
    (*field)->setAlignment(Qt::AlignRight);
    (*field)->setFixedWidth(metrics.horizontalAdvance(QStringLiteral("000")) + 14);
    (*field)->installEventFilter(this);
  }

  Button1 = new QPushButton(QStringLiteral("保存"), this);
  Button2 = new QPushButton(QStringLiteral("戻る"), this);
  Button3 = new QPushButton(QStringLiteral("プリンタ設定"), this);
  n = 1;
  for (QPushButton* button : {Button1, Button2, Button3}) {
    button->setObjectName(QStringLiteral("Button%1").arg(n++));
    button->setAutoDefault(false);
  }

  auto* switches = new QGridLayout;
  switches->setHorizontalSpacing(24);
  switches->addWidget(CkBoxFilePath, 0, 0);
  switches->addWidget(CkBoxFileName, 1, 0);
  switches->addWidget(CkBoxLineNo, 0, 1);
  switches->addWidget(CkBoxPageNum, 1, 1);

  // The margins sit where they lie on the page.
  auto* page = new QFrame(this);
  page->setFrameShape(QFrame::StyledPanel);
  auto* margins = new QGridLayout(page);
  margins->setContentsMargins(10, 8, 10, 8);
  margins->setHorizontalSpacing(16);
  margins->setVerticalSpacing(8);
  margins->addWidget(MarginRow(QStringLiteral("上余白"), Edit2, page), 0, 1, Qt::AlignCenter);
  margins->addWidget(MarginRow(QStringLiteral("左余白"), Edit1, page), 1, 0, Qt::AlignLeft);
  margins->addWidget(MarginRow(QStringLiteral("右余白"), Edit4, page), 1, 2, Qt::AlignRight);
  margins->addWidget(MarginRow(QStringLiteral("下余白"), Edit3, page), 2, 1, Qt::AlignCenter);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Button1);
  buttons->addWidget(Button2);
  buttons->addStretch(1);
  buttons->addWidget(Button3);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  layout->setSpacing(10);
  layout->addLayout(switches);
  layout->addWidget(page);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);  // a dialog border: no sizing

  setTabOrder(CkBoxFilePath, CkBoxFileName);
  setTabOrder(CkBoxFileName, CkBoxLineNo);
  setTabOrder(CkBoxLineNo, CkBoxPageNum);
  setTabOrder(CkBoxPageNum, Edit2);
  setTabOrder(Edit2, Edit1);
  setTabOrder(Edit1, Edit4);
  setTabOrder(Edit4, Edit3);
  setTabOrder(Edit3, Button1);

  connect(CkBoxFilePath, &QCheckBox::toggled, this, &TPrintCtrlDlg::CkBoxFilePathClick);
  connect(CkBoxFileName, &QCheckBox::toggled, this, &TPrintCtrlDlg::CkBoxFileNameClick);
  connect(CkBoxPageNum, &QCheckBox::toggled, this, &TPrintCtrlDlg::CkBoxPageNumClick);
  connect(CkBoxLineNo, &QCheckBox::toggled, this, &TPrintCtrlDlg::CkBoxPageNumClick);
  for (QLineEdit* field : {Edit1, Edit2, Edit3, Edit4})
    connect(field, &QLineEdit::textChanged, this, &TPrintCtrlDlg::CkBoxPageNumClick);
  connect(Button1, &QPushButton::clicked, this, &TPrintCtrlDlg::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button3, &QPushButton::clicked, this, &TPrintCtrlDlg::Button3Click);
}

void TPrintCtrlDlg::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) FormShow();
  QDialog::showEvent(event);
}

void TPrintCtrlDlg::FormShow() {
  if (QLayout* own = layout()) own->activate();
  if (mainWindow_) {
    const QRect main = mainWindow_->frameGeometry();
    move(main.left() + main.width() / 2 - width() / 2, main.top() + main.height() / 2 - height() / 2 - 100);
  }
  const auto& print = settings_.Print;
  CkBoxFilePath->setChecked(print.FullPath);
  CkBoxFileName->setChecked(print.FileName);
  CkBoxPageNum->setChecked(print.Page);
  CkBoxLineNo->setChecked(print.LineNo);
  Edit1->setText(QString::number(print.LeftMargin));
  Edit2->setText(QString::number(print.TopMargin));
  Edit3->setText(QString::number(print.BottomMargin));
  Edit4->setText(QString::number(print.RightMargin));
  Button1->setEnabled(false);
}

void TPrintCtrlDlg::CkBoxFilePathClick() {
  if (CkBoxFilePath->isChecked()) CkBoxFileName->setChecked(false);
  Button1->setEnabled(true);
}

void TPrintCtrlDlg::CkBoxFileNameClick() {
  if (CkBoxFileName->isChecked()) CkBoxFilePath->setChecked(false);
  Button1->setEnabled(true);
}

void TPrintCtrlDlg::CkBoxPageNumClick() { Button1->setEnabled(true); }

bool TPrintCtrlDlg::Edit1KeyPress(QLineEdit* field, const QKeyEvent& key) const {
  switch (key.key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
      return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return !field->text().isEmpty();
    default:
      break;
  }
  // Editing keys and shortcuts carry no typed character.
  if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return true;
  const QString text = key.text();
  if (text.isEmpty()) return true;
  return text.size() == 1 && text[0] >= QLatin1Char('0') && text[0] <= QLatin1Char('9');
}

bool TPrintCtrlDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    for (QLineEdit* field : {Edit1, Edit2, Edit3, Edit4}) {
      if (watched == field) return !Edit1KeyPress(field, static_cast<const QKeyEvent&>(*event));
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TPrintCtrlDlg::Button1Click() {
  auto& print = settings_.Print;
  print.FullPath = CkBoxFilePath->isChecked();
  print.FileName = CkBoxFileName->isChecked();
  print.Page = CkBoxPageNum->isChecked();
  print.LineNo = CkBoxLineNo->isChecked();
  print.LeftMargin = MarginValue(Edit1);
  print.TopMargin = MarginValue(Edit2);
  print.BottomMargin = MarginValue(Edit3);
  print.RightMargin = MarginValue(Edit4);
  accept();
}

void TPrintCtrlDlg::Button3Click() {
  if (printerSetup_) printerSetup_(this);
}

}  // namespace vostrel::gui
