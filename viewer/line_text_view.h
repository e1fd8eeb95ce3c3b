#pragma once
// A read-only view of a list of text lines that stays fast for millions of
// lines: only the visible lines are decoded and drawn, on every paint. The
// text can be selected with the mouse and the keyboard and copied.
//
// The view does not own its lines: the owner keeps the vector alive and
// calls LinesChanged() after adding or removing lines (changes inside lines
// show at the next repaint).

#include <QAbstractScrollArea>
#include <QString>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/text_lines.h"

class QMenu;

namespace vostrel::gui {

class LineTextView : public QAbstractScrollArea {
  Q_OBJECT
 public:
  enum class Encoding { ShiftJis, Utf8 };

  explicit LineTextView(QWidget* parent = nullptr);

  // Shows `lines` (nullptr: nothing). The vector must outlive the view or
  // be replaced before it goes.
  void SetLines(const std::vector<std::string>* lines, Encoding encoding);
  void SetLines(const TextLines* lines, Encoding encoding);
  // The number of lines may have changed: recount, re-measure, repaint.
  void LinesChanged();
  // Only lines were added at the end (cheaper: measures just the new ones).
  void LinesAppended();
  int LineCount() const { return rows_; }

  // Selects line `index` (0-based) from its first character to its end and
  // scrolls so that it is the second visible line.
  void HighlightLine(int index);
  void ScrollToEnd();
  int FirstVisibleLine() const;

  void SelectAll();
  void ClearSelection();
  bool HasSelection() const { return anchor_ != caret_; }
  QString SelectedText() const;
  // The selection as 0-based line and column (in characters of the shown
  // text); `from` is never after `to`.
  struct Position {
    int line = 0;
    int column = 0;
    bool operator==(const Position&) const = default;
    auto operator<=>(const Position&) const = default;
  };
  Position SelectionStart() const { return std::min(anchor_, caret_); }
  Position SelectionEnd() const { return std::max(anchor_, caret_); }
  void SetSelection(Position anchor, Position caret);

  // The text of line `index` as shown (tabs expanded to the next multiple of eight).
  QString LineText(int index) const;

  // Lines that lead somewhere: drawn as links; a double click or Enter on
  // one emits LineActivated.
  void SetLinkLines(std::function<bool(int index)> isLink);
  // A line drawn on a marked background (-1: none), beside the selection.
  void SetMarkedLine(int index);
  // Adds the owner's entries to the context menu of line `index`.
  void SetMenuExtension(std::function<void(QMenu& menu, int index)> extend);

  // Line numbers in a margin at the left (line_text_view_tools.cpp).
  void SetLineNumbers(bool shown);
  bool LineNumbers() const { return gutter_ != nullptr; }

  // The stored bytes of line `index` and their coding, for searching.
  std::string_view LineBytes(int index) const;
  Encoding LineEncoding() const { return encoding_; }
  // Between byte offsets in a line and columns of its shown text.
  int ColumnOfByte(int index, std::size_t byte) const;
  std::size_t ByteOfColumn(int index, int column) const;
  // Selects from `anchor` to `caret` and scrolls both into view.
  void ShowSelection(Position anchor, Position caret);

 signals:
  void LineActivated(int index);
  // The user moved the caret to another line (0-based).
  void CaretLineChanged(int index);

 public:

  void copy() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  friend class LineNumberGutter;
  int LineHeight() const;
  int VisibleRows() const;
  void UpdateScrollBars();
  void MeasureWidth(int fromRow = 0);
  Position HitTest(const QPoint& point) const;
  void MoveCaret(Position to, bool extend);
  void EnsureCaretVisible();
  void UpdateGutter();  // its width and place, after a change of lines, font or size

  // The lines shown: one of the two kinds of list, or none.
  std::size_t ShownLineCount() const { return textLines_ ? textLines_->size() : lines_ ? lines_->size() : 0; }
  std::string_view LineAt(std::size_t i) const { return textLines_ ? (*textLines_)[i] : std::string_view((*lines_)[i]); }
  bool HasLines() const { return lines_ || textLines_; }
  void ShowLines(const std::vector<std::string>* lines, const TextLines* textLines, Encoding encoding);
  const std::vector<std::string>* lines_ = nullptr;
  const TextLines* textLines_ = nullptr;
  Encoding encoding_ = Encoding::ShiftJis;
  int rows_ = 0;
  int contentWidth_ = 0;
  Position anchor_;
  Position caret_;
  std::function<bool(int)> isLink_;
  int markedLine_ = -1;
  std::function<void(QMenu&, int)> extendMenu_;
  QWidget* gutter_ = nullptr;  // the line numbers, when shown
};

}  // namespace vostrel::gui
