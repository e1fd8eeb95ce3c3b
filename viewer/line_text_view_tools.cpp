// The line view's tools for searching and finding places: line numbers in
// a margin, the stored bytes of a line and their columns as shown, and a
// selection brought into view.

#include <QPainter>
#include <QScrollBar>

#include "text/sjis.h"
#include "viewer/line_text_view.h"

namespace vostrel::gui {

namespace {
constexpr int kGutterPadding = 4;  // pixels either side of the numbers
constexpr int kTabWidth = 8;

// Bytes and UTF-16 units of the character at `pos` of a stored line.
struct CharSize {
  std::size_t bytes;
  int units;
};

CharSize CharAt(std::string_view line, std::size_t pos, LineTextView::Encoding encoding) {
  if (encoding == LineTextView::Encoding::ShiftJis) return {sjis::CharLength(line, pos), 1};
  const unsigned char lead = static_cast<unsigned char>(line[pos]);
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  if (pos + length > line.size()) return {1, 1};
  return {length, length == 4 ? 2 : 1};
}

// The shown column after `units` UTF-16 units of a character at `column`.
int Advance(int column, bool tab, int units) { return tab ? (column / kTabWidth + 1) * kTabWidth : column + units; }
}  // namespace

class LineNumberGutter : public QWidget {
 public:
  explicit LineNumberGutter(LineTextView& view) : QWidget(&view), view_(view) {
    setObjectName(QStringLiteral("LineNumbers"));
    setAutoFillBackground(false);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
    painter.setFont(view_.font());
    const int height = view_.LineHeight();
    const int first = view_.FirstVisibleLine();
    const int top = view_.viewport()->y() - y();
    for (int row = 0, line = first; line < view_.rows_ && row * height < this->height(); ++row, ++line)
      painter.drawText(QRect(0, top + row * height, width() - kGutterPadding, height),
                       Qt::AlignRight | Qt::AlignTop, QString::number(line + 1));
  }

 private:
  LineTextView& view_;
};

void LineTextView::SetLineNumbers(bool shown) {
  if (shown == LineNumbers()) return;
  if (shown) {
    gutter_ = new LineNumberGutter(*this);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, gutter_, qOverload<>(&QWidget::update));
    gutter_->show();
  } else {
    delete gutter_;
    gutter_ = nullptr;
  }
  UpdateGutter();
}

void LineTextView::UpdateGutter() {
  int width = 0;
  if (gutter_) {
    const int digits = static_cast<int>(QString::number(std::max(rows_, 1)).size());
    width = fontMetrics().horizontalAdvance(QLatin1Char('0')) * std::max(digits, 3) + 2 * kGutterPadding;
  }
  if (viewportMargins().left() != width) setViewportMargins(width, 0, 0, 0);
  if (gutter_) {
    const QRect area = viewport()->geometry();
    gutter_->setGeometry(area.left() - width, area.top(), width, area.height());
    gutter_->update();
  }
}

std::string_view LineTextView::LineBytes(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= ShownLineCount()) return {};
  return LineAt(static_cast<std::size_t>(index));
}

int LineTextView::ColumnOfByte(int index, std::size_t byte) const {
  const std::string_view line = LineBytes(index);
  int column = 0;
  for (std::size_t pos = 0; pos < line.size() && pos < byte;) {
    const CharSize size = CharAt(line, pos, encoding_);
    column = Advance(column, line[pos] == '\t', size.units);
    pos += size.bytes;
  }
  return column;
}

std::size_t LineTextView::ByteOfColumn(int index, int column) const {
  const std::string_view line = LineBytes(index);
  int shown = 0;
  std::size_t pos = 0;
  while (pos < line.size() && shown < column) {
    const CharSize size = CharAt(line, pos, encoding_);
    shown = Advance(shown, line[pos] == '\t', size.units);
    pos += size.bytes;
  }
  return pos;
}

void LineTextView::ShowSelection(Position anchor, Position caret) {
  if (rows_ == 0) return;
  anchor_ = anchor;
  caret_ = anchor;
  EnsureCaretVisible();  // the start first, then the end, so a long match shows its start
  caret_ = caret;
  EnsureCaretVisible();
  // A line found far away stands a few rows below the top, not at the edge.
  QScrollBar* v = verticalScrollBar();
  if (caret.line == v->value() + VisibleRows() - 1 || caret.line == v->value())
    v->setValue(std::max(caret.line - VisibleRows() / 3, 0));
  viewport()->update();
}

}  // namespace vostrel::gui
