#pragma once
// The viewer's "番号振り直し..." command: the dialog, the renumbering of the
// result with its lines added to the log, and "元に戻す" until the result
// is saved (or a new run's result arrives).

#include <QObject>

#include <functional>
#include <string>
#include <vector>

#include "pipeline/text_lines.h"

class QHBoxLayout;
class QPushButton;

namespace vostrel::settings {
struct AppSettings;
}

namespace vostrel::gui {

class RenumberDialog;
class UserPrompts;
class ViewerDialog;

class RenumberCommand : public QObject {
  Q_OBJECT
 public:
  // Adds its two buttons to `buttons`.
  RenumberCommand(ViewerDialog& viewer, settings::AppSettings& settings, UserPrompts& prompts, QHBoxLayout* buttons);

  // How the dialog is run: exec() unless a test says otherwise; true when
  // the user accepted it.
  void SetDialogRunner(std::function<bool(RenumberDialog&)> run) { runDialog_ = std::move(run); }

  QPushButton* RenumberButton;  // 番号振り直し...
  QPushButton* UndoButton;      // 元に戻す

  void Renumber();
  void Undo();
  bool CanUndo() const { return !undo_.empty(); }

 private:
  void DropUndo();

  struct Before {
    TextLines lines;
    std::vector<std::string> log;
  };
  ViewerDialog& viewer_;
  settings::AppSettings& settings_;
  UserPrompts& prompts_;
  std::function<bool(RenumberDialog&)> runDialog_;
  std::vector<Before> undo_;
};

}  // namespace vostrel::gui
