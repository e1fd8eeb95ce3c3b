#pragma once
// The source view: a file as the user wrote it (decoded from Shift-JIS),
// read-only, with line numbers, scrolled to the place of a finding with its
// line marked and its word selected.

#include <QDialog>

#include <string>
#include <vector>

#include "pipeline/finding.h"

class QLabel;
class QPushButton;

namespace vostrel::gui {

class LineTextView;

class SourceView : public QDialog {
  Q_OBJECT
 public:
  explicit SourceView(QWidget* parent = nullptr);

  // Shows the file of `finding` at its place. False, with a message in the
  // view, when the file cannot be read.
  bool ShowPlace(const Finding& finding);
  const Finding& Shown() const { return shown_; }
  // The next place is shown from the file as it is then (a new run).
  void ForgetFile() { file_.clear(); }

  // The 0-based line of the view and the column (in characters as shown)
  // where `column` (1-based, a double-byte character counting as one) of
  // source line `line` stands.
  int ShownColumn(int line, int column) const;

  LineTextView* SourceText;
  QLabel* PlaceLabel;
  QPushButton* EditorButton;       // エディタで開く
  QPushButton* EditorSetupButton;  // エディタ設定

 signals:
  void OpenInEditor(const Finding& finding);
  void SetUpEditor();

 private:
  std::vector<std::string> lines_;  // Shift-JIS, each after its line number
  std::size_t numberWidth_ = 0;     // bytes of the line number in front of each line
  std::string file_;                // the file the lines are from
  Finding shown_;
};

}  // namespace vostrel::gui
