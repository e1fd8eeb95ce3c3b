#include "viewer/renumber_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include "gui_common/fonts.h"
#include "text/sjis.h"

namespace vostrel::gui {

namespace {

constexpr renumber::BlockChoice kChoices[] = {renumber::BlockChoice::Numbered, renumber::BlockChoice::All,
                                              renumber::BlockChoice::Targets};

QSpinBox* NumberField(int least, int most, int value, QWidget* parent) {
  auto* field = new QSpinBox(parent);
  field->setRange(least, most);
  field->setValue(value);
  return field;
}

}  // namespace

RenumberDialog::RenumberDialog(const TextLines& program, const renumber::Options& initial, QWidget* parent)
    : QDialog(parent), program_(program) {
  setObjectName(QStringLiteral("RenumberDialog"));
  setWindowTitle(QStringLiteral("番号振り直し"));
  setModal(true);
  setFont(JapanesePixelFont(Pitch::Proportional, 12));

  StartField = NumberField(0, 99999999, static_cast<int>(initial.start), this);
  StepField = NumberField(1, 99999999, static_cast<int>(initial.step), this);
  BlocksBox = new QComboBox(this);
  BlocksBox->addItems({QStringLiteral("番号のあるブロック"), QStringLiteral("すべてのブロック"),
                       QStringLiteral("飛び先と工具交換のブロック")});
  for (int i = 0; i < 3; ++i)
    if (kChoices[i] == initial.blocks) BlocksBox->setCurrentIndex(i);
  SkipLinesBox = new QCheckBox(QStringLiteral("O番号・%・空行には振らない"), this);
  SkipLinesBox->setChecked(initial.skipMarkerLines);
  WidthField = NumberField(0, 9, initial.width, this);
  WidthField->setSpecialValueText(QStringLiteral("詰めない"));
  ForceBox = new QCheckBox(QStringLiteral("飛び先を追えなくても振り直す"), this);
  ForceBox->setChecked(initial.force);
  StartField->setObjectName(QStringLiteral("StartField"));
  StepField->setObjectName(QStringLiteral("StepField"));
  BlocksBox->setObjectName(QStringLiteral("BlocksBox"));
  WidthField->setObjectName(QStringLiteral("WidthField"));

  Preview = new QPlainTextEdit(this);
  Findings = new QPlainTextEdit(this);
  for (QPlainTextEdit* view : {Preview, Findings}) {
    view->setReadOnly(true);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    view->setFont(JapaneseFont(Pitch::Fixed, 10));
  }
  Findings->setMaximumHeight(90);
  RunButton = new QPushButton(QStringLiteral("実行"), this);
  CancelButton = new QPushButton(QStringLiteral("キャンセル"), this);
  RunButton->setDefault(true);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("開始番号"), StartField);
  form->addRow(QStringLiteral("増分"), StepField);
  form->addRow(QStringLiteral("番号を振るブロック"), BlocksBox);
  form->addRow(QStringLiteral("桁数"), WidthField);
  form->addRow(SkipLinesBox);
  form->addRow(ForceBox);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(RunButton);
  buttons->addWidget(CancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(new QLabel(QStringLiteral("先頭の %1 行").arg(kPreviewLines), this));
  layout->addWidget(Preview, 1);
  layout->addWidget(Findings);
  layout->addLayout(buttons);
  resize(460, 560);

  // A large program takes a moment to analyse: the preview follows the
  // fields once they rest.
  previewTimer_ = new QTimer(this);
  previewTimer_->setSingleShot(true);
  previewTimer_->setInterval(200);
  connect(previewTimer_, &QTimer::timeout, this, &RenumberDialog::UpdatePreview);
  auto later = [this] { previewTimer_->start(); };
  for (QSpinBox* field : {StartField, StepField, WidthField}) connect(field, &QSpinBox::valueChanged, this, later);
  connect(BlocksBox, &QComboBox::currentIndexChanged, this, later);
  for (QCheckBox* box : {SkipLinesBox, ForceBox}) connect(box, &QCheckBox::toggled, this, later);
  connect(RunButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  UpdatePreview();
}

renumber::Options RenumberDialog::Chosen() const {
  renumber::Options options;
  options.start = StartField->value();
  options.step = StepField->value();
  options.blocks = kChoices[std::max(BlocksBox->currentIndex(), 0)];
  options.skipMarkerLines = SkipLinesBox->isChecked();
  options.width = WidthField->value();
  options.force = ForceBox->isChecked();
  return options;
}

void RenumberDialog::UpdatePreview() {
  previewTimer_->stop();
  renumber::Options options = Chosen();
  options.outputLines = kPreviewLines;
  const renumber::Outcome outcome = renumber::Renumber(program_, options);
  QString lines;
  for (const std::string_view line : outcome.lines) lines += QString::fromStdString(sjis::ToUtf8(line)) + '\n';
  Preview->setPlainText(lines);
  QString found;
  for (const renumber::LineFinding& f : outcome.findings)
    found += QStringLiteral("%1行目 %2\n").arg(f.line).arg(QString::fromStdString(f.message));
  if (outcome.refused) found += QStringLiteral("飛び先を追えないため、振り直せません\n");
  Findings->setPlainText(found);
  RunButton->setEnabled(!outcome.refused);
}

}  // namespace vostrel::gui
