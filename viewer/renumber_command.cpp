#include "viewer/renumber_command.h"

#include <QHBoxLayout>
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>

#include "gui_common/prompts.h"
#include "renumber/renumber_settings.h"
#include "settings/app_settings.h"
#include "viewer/renumber_dialog.h"
#include "viewer/viewer_dialog.h"

namespace vostrel::gui {

RenumberCommand::RenumberCommand(ViewerDialog& viewer, settings::AppSettings& settings, UserPrompts& prompts,
                                 QHBoxLayout* buttons)
    : QObject(&viewer), viewer_(viewer), settings_(settings), prompts_(prompts) {
  RenumberButton = new QPushButton(QStringLiteral("番号振り直し..."), &viewer);
  UndoButton = new QPushButton(QStringLiteral("元に戻す"), &viewer);
  RenumberButton->setObjectName(QStringLiteral("RenumberButton"));
  UndoButton->setObjectName(QStringLiteral("UndoButton"));
  for (QPushButton* button : {RenumberButton, UndoButton}) {
    button->setAutoDefault(false);
    buttons->addWidget(button);
  }
  UndoButton->setEnabled(false);
  RenumberButton->setMinimumWidth(RenumberButton->sizeHint().width());  // the caption whole in a narrow viewer
  connect(RenumberButton, &QPushButton::clicked, this, &RenumberCommand::Renumber);
  connect(UndoButton, &QPushButton::clicked, this, &RenumberCommand::Undo);
  connect(new QShortcut(QKeySequence::Undo, &viewer), &QShortcut::activated, this, &RenumberCommand::Undo);
  connect(&viewer, &ViewerDialog::ResultHandedOff, this, &RenumberCommand::DropUndo);
  connect(&viewer, &ViewerDialog::ResultDropped, this, &RenumberCommand::DropUndo);
  connect(&viewer, &ViewerDialog::ResultSaved, this, &RenumberCommand::DropUndo);
  runDialog_ = [](RenumberDialog& dialog) { return dialog.exec() == QDialog::Accepted; };
}

void RenumberCommand::Renumber() {
  const TextLines& result = viewer_.Result();
  if (result.empty()) return;
  RenumberDialog dialog(result, renumber::OptionsFromSettings(settings_.Renumber), &viewer_);
  if (!runDialog_(dialog)) return;
  const renumber::Options options = dialog.Chosen();
  renumber::StoreOptions(options, settings_.Renumber);
  renumber::Outcome outcome = renumber::Renumber(result, options);
  if (outcome.refused) {
    QString text = QStringLiteral("飛び先を追えないため、番号を振り直しませんでした");
    for (const renumber::LineFinding& f : outcome.findings)
      if (f.severity == Severity::Error) text += QStringLiteral("\n%1行目 %2").arg(f.line).arg(QString::fromStdString(f.message));
    prompts_.ShowMessage(&viewer_, QStringLiteral("確認"), text, MessageIcon::Warning);
    return;
  }
  std::vector<std::string> log = viewer_.Log();
  for (std::string& line : renumber::ReportLines(outcome)) log.push_back(std::move(line));
  undo_.push_back({result, viewer_.Log()});
  viewer_.ReplaceResult(std::move(outcome.lines), std::move(log));
  UndoButton->setEnabled(true);
}

void RenumberCommand::Undo() {
  if (undo_.empty()) return;
  Before before = std::move(undo_.back());
  undo_.pop_back();
  viewer_.ReplaceResult(std::move(before.lines), std::move(before.log));
  UndoButton->setEnabled(!undo_.empty());
}

void RenumberCommand::DropUndo() {
  undo_.clear();
  UndoButton->setEnabled(false);
  RenumberButton->setMinimumWidth(RenumberButton->sizeHint().width());  // the caption whole in a narrow viewer
}

}  // namespace vostrel::gui
