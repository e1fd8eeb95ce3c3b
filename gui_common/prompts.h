#pragma once
// Every message box, question and file dialog of the windows goes through
// this interface, so that tests can answer them.

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace vostrel::gui {

enum class MessageIcon { Warning, Stop, Information };

// The source open dialog: filters as display name and patterns (an empty
// pattern list means "names without a dot"), the preselected filter.
struct SourceDialogRequest {
  QString title;
  QString initialFolder;
  QString defaultSuffix;
  struct Filter {
    QString display;
    QStringList patterns;
  };
  QList<Filter> filters;
  int selectedFilter = 0;  // 0-based
};

struct SourceDialogResult {
  QString path;
  int filter = 0;  // 0-based index of the filter in use when it closed
};

class UserPrompts {
 public:
  virtual ~UserPrompts() = default;
  // A Yes/No question with a warning icon, placed 50 pixels right of and
  // below the owner's top-left corner. True for Yes.
  virtual bool AskYesNo(QWidget* owner, const QString& caption, const QString& text) = 0;
  // An OK message.
  virtual void ShowMessage(QWidget* owner, const QString& caption, const QString& text, MessageIcon icon) = 0;
  virtual std::optional<SourceDialogResult> ChooseSourceFile(QWidget* owner,
                                                             const SourceDialogRequest& request) = 0;
  // A folder, or nullopt when the user cancels.
  virtual std::optional<QString> ChooseFolder(QWidget* owner, const QString& prompt, const QString& start) = 0;
};

// The real dialogs.
class DialogPrompts : public UserPrompts {
 public:
  bool AskYesNo(QWidget* owner, const QString& caption, const QString& text) override;
  void ShowMessage(QWidget* owner, const QString& caption, const QString& text, MessageIcon icon) override;
  std::optional<SourceDialogResult> ChooseSourceFile(QWidget* owner, const SourceDialogRequest& request) override;
  std::optional<QString> ChooseFolder(QWidget* owner, const QString& prompt, const QString& start) override;
};

// Whether `fileName` passes a filter of the source dialog: the patterns are
// wildcards matched without regard to case; no patterns means the name has
// no dot.
bool SourceFilterAccepts(const QString& fileName, const QStringList& patterns);

}  // namespace vostrel::gui
