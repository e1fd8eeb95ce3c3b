#include "viewer/print_settings_dialog.h"

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

#include "gui_common/fonts.h"
#include "settings/app_settings.h"

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

PrintSettingsDialog::PrintSettingsDialog(settings::AppSettings& settings, QWidget* mainWindow, QWidget* parent)
    : QDialog(parent), settings_(settings), mainWindow_(mainWindow) {
  setObjectName(QStringLiteral("PrintSettingsDialog"));
  setWindowTitle(QStringLiteral("印刷設定"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setModal(true);
  setFont(JapanesePixelFont(Pitch::Proportional, 12));

  FullPathBox = new QCheckBox(QStringLiteral("フルパス名を印刷"), this);
  FileNameBox = new QCheckBox(QStringLiteral("ファイル名を印刷"), this);
  LineNumbersBox = new QCheckBox(QStringLiteral("行番号を印刷"), this);
  PageNumbersBox = new QCheckBox(QStringLiteral("ページ番号を印刷"), this);
  FullPathBox->setObjectName(QStringLiteral("FullPathBox"));
  FileNameBox->setObjectName(QStringLiteral("FileNameBox"));
  LineNumbersBox->setObjectName(QStringLiteral("LineNumbersBox"));
  PageNumbersBox->setObjectName(QStringLiteral("PageNumbersBox"));

  const QFontMetrics metrics(font());
  auto* digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,2}")), this);
  const std::pair<QLineEdit**, const char*> marginFields[] = {{&LeftMarginField, "LeftMarginField"},
                                                              {&TopMarginField, "TopMarginField"},
                                                              {&BottomMarginField, "BottomMarginField"},
                                                              {&RightMarginField, "RightMarginField"}};
  for (auto [field, name] : marginFields) {
    *field = new QLineEdit(this);
    (*field)->setObjectName(QString::fromLatin1(name));
    (*field)->setMaxLength(2);
    (*field)->setValidator(digits);  // pasted text too
    (*field)->setAlignment(Qt::AlignRight);
    (*field)->setFixedWidth(metrics.horizontalAdvance(QStringLiteral("000")) + 14);
    (*field)->installEventFilter(this);
  }

  SaveButton = new QPushButton(QStringLiteral("保存"), this);
  BackButton = new QPushButton(QStringLiteral("戻る"), this);
  PrinterSetupButton = new QPushButton(QStringLiteral("プリンタ設定"), this);
  SaveButton->setObjectName(QStringLiteral("SaveButton"));
  BackButton->setObjectName(QStringLiteral("BackButton"));
  PrinterSetupButton->setObjectName(QStringLiteral("PrinterSetupButton"));
  for (QPushButton* button : {SaveButton, BackButton, PrinterSetupButton}) button->setAutoDefault(false);

  auto* switches = new QGridLayout;
  switches->setHorizontalSpacing(24);
  switches->addWidget(FullPathBox, 0, 0);
  switches->addWidget(FileNameBox, 1, 0);
  switches->addWidget(LineNumbersBox, 0, 1);
  switches->addWidget(PageNumbersBox, 1, 1);

  // The margins sit where they lie on the page.
  auto* page = new QFrame(this);
  page->setFrameShape(QFrame::StyledPanel);
  auto* margins = new QGridLayout(page);
  margins->setContentsMargins(10, 8, 10, 8);
  margins->setHorizontalSpacing(16);
  margins->setVerticalSpacing(8);
  margins->addWidget(MarginRow(QStringLiteral("上余白"), TopMarginField, page), 0, 1, Qt::AlignCenter);
  margins->addWidget(MarginRow(QStringLiteral("左余白"), LeftMarginField, page), 1, 0, Qt::AlignLeft);
  margins->addWidget(MarginRow(QStringLiteral("右余白"), RightMarginField, page), 1, 2, Qt::AlignRight);
  margins->addWidget(MarginRow(QStringLiteral("下余白"), BottomMarginField, page), 2, 1, Qt::AlignCenter);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(SaveButton);
  buttons->addWidget(BackButton);
  buttons->addStretch(1);
  buttons->addWidget(PrinterSetupButton);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  layout->setSpacing(10);
  layout->addLayout(switches);
  layout->addWidget(page);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);  // a dialog border: no sizing

  setTabOrder(FullPathBox, FileNameBox);
  setTabOrder(FileNameBox, LineNumbersBox);
  setTabOrder(LineNumbersBox, PageNumbersBox);
  setTabOrder(PageNumbersBox, TopMarginField);
  setTabOrder(TopMarginField, LeftMarginField);
  setTabOrder(LeftMarginField, RightMarginField);
  setTabOrder(RightMarginField, BottomMarginField);
  setTabOrder(BottomMarginField, SaveButton);

  connect(FullPathBox, &QCheckBox::toggled, this, &PrintSettingsDialog::FullPathToggled);
  connect(FileNameBox, &QCheckBox::toggled, this, &PrintSettingsDialog::FileNameToggled);
  connect(PageNumbersBox, &QCheckBox::toggled, this, &PrintSettingsDialog::SettingChanged);
  connect(LineNumbersBox, &QCheckBox::toggled, this, &PrintSettingsDialog::SettingChanged);
  for (QLineEdit* field : {LeftMarginField, TopMarginField, BottomMarginField, RightMarginField})
    connect(field, &QLineEdit::textChanged, this, &PrintSettingsDialog::SettingChanged);
  connect(SaveButton, &QPushButton::clicked, this, &PrintSettingsDialog::StoreSettings);
  connect(BackButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(PrinterSetupButton, &QPushButton::clicked, this, &PrintSettingsDialog::OpenPrinterSetup);
}

void PrintSettingsDialog::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) PlaceAndFill();
  QDialog::showEvent(event);
}

void PrintSettingsDialog::PlaceAndFill() {
  if (QLayout* own = layout()) own->activate();
  if (mainWindow_) {
    const QRect main = mainWindow_->frameGeometry();
    move(main.left() + main.width() / 2 - width() / 2, main.top() + main.height() / 2 - height() / 2 - 100);
  }
  const auto& print = settings_.Print;
  FullPathBox->setChecked(print.FullPath);
  FileNameBox->setChecked(print.FileName);
  PageNumbersBox->setChecked(print.Page);
  LineNumbersBox->setChecked(print.LineNo);
  LeftMarginField->setText(QString::number(print.LeftMargin));
  TopMarginField->setText(QString::number(print.TopMargin));
  BottomMarginField->setText(QString::number(print.BottomMargin));
  RightMarginField->setText(QString::number(print.RightMargin));
  SaveButton->setEnabled(false);
}

void PrintSettingsDialog::FullPathToggled() {
  if (FullPathBox->isChecked()) FileNameBox->setChecked(false);
  SaveButton->setEnabled(true);
}

void PrintSettingsDialog::FileNameToggled() {
  if (FileNameBox->isChecked()) FullPathBox->setChecked(false);
  SaveButton->setEnabled(true);
}

void PrintSettingsDialog::SettingChanged() { SaveButton->setEnabled(true); }

bool PrintSettingsDialog::MarginKeyAllowed(QLineEdit* field, const QKeyEvent& key) const {
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

bool PrintSettingsDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    for (QLineEdit* field : {LeftMarginField, TopMarginField, BottomMarginField, RightMarginField}) {
      if (watched == field) return !MarginKeyAllowed(field, static_cast<const QKeyEvent&>(*event));
    }
  }
  return QDialog::eventFilter(watched, event);
}

void PrintSettingsDialog::StoreSettings() {
  auto& print = settings_.Print;
  print.FullPath = FullPathBox->isChecked();
  print.FileName = FileNameBox->isChecked();
  print.Page = PageNumbersBox->isChecked();
  print.LineNo = LineNumbersBox->isChecked();
  print.LeftMargin = MarginValue(LeftMarginField);
  print.TopMargin = MarginValue(TopMarginField);
  print.BottomMargin = MarginValue(BottomMarginField);
  print.RightMargin = MarginValue(RightMarginField);
  accept();
}

void PrintSettingsDialog::OpenPrinterSetup() {
  if (printerSetup_) printerSetup_(this);
}

}  // namespace vostrel::gui
