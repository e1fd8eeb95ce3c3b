#pragma once
// Prompts answered from a script instead of the user (tests, the developer
// tool): records every message and question, answers questions from a
// queue (Yes when it is empty) and the file dialogs with preset choices.

#include <QDialog>
#include <QWidget>

#include <deque>
#include <functional>
#include <vector>

#include "gui_common/prompts.h"

namespace vostrel::gui {

class ScriptedPrompts : public UserPrompts {
 public:
  struct Shown {
    QString caption;
    QString text;
    MessageIcon icon;
    bool question;
  };

  bool AskYesNo(QWidget*, const QString& caption, const QString& text) override {
    shown.push_back({caption, text, MessageIcon::Warning, true});
    if (onShow) onShow(shown.back());
    if (answers.empty()) return true;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void ShowMessage(QWidget*, const QString& caption, const QString& text, MessageIcon icon) override {
    shown.push_back({caption, text, icon, false});
    if (onShow) onShow(shown.back());
  }
  std::optional<SourceDialogResult> ChooseSourceFile(QWidget*, const SourceDialogRequest& request) override {
    lastSourceRequest = request;
    return sourceChoice;
  }
  std::optional<QString> ChooseFolder(QWidget*, const QString& prompt, const QString& start) override {
    lastFolderPrompt = prompt;
    lastFolderStart = start;
    return folderChoice;
  }

  std::vector<Shown> shown;
  std::deque<bool> answers;
  std::function<void(const Shown&)> onShow;
  std::optional<SourceDialogResult> sourceChoice;
  SourceDialogRequest lastSourceRequest;
  std::optional<QString> folderChoice;
  QString lastFolderPrompt;
  QString lastFolderStart;
};

}  // namespace vostrel::gui
