#pragma once
// The bar under the viewer's tabs that searches the text of the tab in
// front (Ctrl+F; F3 and Shift+F3 step on and back) and goes to a line
// (Ctrl+G). The search runs a slice at a time between the window's events,
// so that a text of millions of lines never stops the window.

#include <QWidget>

#include <functional>
#include <optional>

#include "text/line_search.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace vostrel::gui {

class LineTextView;

class TextFindBar : public QWidget {
  Q_OBJECT
 public:
  // `shownView` gives the view of the tab in front (nullptr: none to search).
  TextFindBar(std::function<LineTextView*()> shownView, QWidget* parent = nullptr);

  // Ctrl+F, Ctrl+G, F3 and Shift+F3 in `window`.
  void AddShortcuts(QWidget* window);

  void OpenFind();       // shows the bar with the search field in focus
  void OpenGoToLine();   // shows the bar with the line field in focus
  void FindNext();       // from the end of the selection on
  void FindPrevious();   // back from the start of the selection
  bool GoToLine(int number);  // 1-based; false (with a word in the bar) when out of range
  void CloseBar();

  bool Searching() const { return search_.has_value(); }

  QLineEdit* FindField;
  QPushButton* NextButton;
  QPushButton* PreviousButton;
  QCheckBox* MatchCaseBox;
  QLineEdit* LineField;
  QPushButton* GoButton;
  QLabel* Status;
  QPushButton* CloseButton;

  // Bytes read per slice of a search.
  static constexpr std::size_t kSliceBytes = 4 << 20;

 protected:
  void hideEvent(QHideEvent* event) override;  // a search ends with the bar

 private:
  void StartSearch(LineSearch::Direction direction, bool fromSelectionStart);
  void SearchSlice();
  void StopSearch();
  void ShowState(const QString& text, bool failed);

  std::function<LineTextView*()> shownView_;
  std::optional<LineSearch> search_;
  LineTextView* searchView_ = nullptr;
  QTimer* slice_;
};

}  // namespace vostrel::gui
