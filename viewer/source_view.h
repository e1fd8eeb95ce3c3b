#pragma once
// The source view: a file as the user wrote it (decoded from Shift-JIS),
// read-only, with line numbers, scrolled to the place of a finding with its
// line marked and its word selected. The file is read again when it has
// changed on disk since it was shown (at the next place, or when the view
// becomes active), and the view says so.

#include <QDialog>

#include <cstdint>
#include <filesystem>
#include <string>

#include "pipeline/finding.h"
#include "pipeline/text_lines.h"

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
  // Reads the shown file again when it has changed since it was read;
  // true when it did.
  bool ReloadIfChanged();

  // The 0-based line of the view and the column (in characters as shown)
  // where `column` (1-based, a double-byte character counting as one) of
  // source line `line` stands.
  int ShownColumn(int line, int column) const;

  LineTextView* SourceText;  // the lines with their numbers
  QLabel* PlaceLabel;
  QPushButton* EditorButton;       // エディタで開く
  QPushButton* EditorSetupButton;  // エディタ設定

 signals:
  void OpenInEditor(const Finding& finding);
  void SetUpEditor();

 protected:
  void changeEvent(QEvent* event) override;

 private:
  // Reads `file` into the view; false (with the message shown) when it
  // cannot be read.
  bool ReadFile(const std::string& file);
  // The file's size and time of change, to see whether it changed.
  struct Stamp {
    std::uintmax_t size = 0;
    std::filesystem::file_time_type changed{};
    bool operator==(const Stamp&) const = default;
  };
  static Stamp StampOf(const std::string& file);

  TextLines lines_;   // Shift-JIS, as in the file
  std::string file_;  // the file the lines are from
  Stamp stamp_;       // that file when it was read
  Finding shown_;
};

}  // namespace vostrel::gui
