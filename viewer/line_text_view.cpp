#include "viewer/line_text_view.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <string>

#include "text/sjis.h"

namespace vostrel::gui {

namespace {
constexpr int kMargin = 3;
constexpr int kTabWidth = 8;

QString ExpandTabs(const QString& text) {
  if (!text.contains(QLatin1Char('\t'))) return text;
  QString out;
  out.reserve(text.size() + 16);
  for (QChar c : text) {
    if (c == QLatin1Char('\t')) {
      const int spaces = kTabWidth - static_cast<int>(out.size() % kTabWidth);
      out.append(QString(spaces, QLatin1Char(' ')));
    } else {
      out.append(c);
    }
  }
  return out;
}
}  // namespace

LineTextView::LineTextView(QWidget* parent) : QAbstractScrollArea(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  // The highlighted line stays visible while another control has the focus.
  QPalette p = palette();
  p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
  p.setColor(QPalette::Inactive, QPalette::HighlightedText,
             p.color(QPalette::Active, QPalette::HighlightedText));
  setPalette(p);
  verticalScrollBar()->setSingleStep(1);
  horizontalScrollBar()->setSingleStep(fontMetrics().averageCharWidth() * 2);
}

void LineTextView::SetLines(const std::vector<std::string>* lines, Encoding encoding) {
  ShowLines(lines, nullptr, encoding);
}

void LineTextView::SetLines(const TextLines* lines, Encoding encoding) { ShowLines(nullptr, lines, encoding); }

void LineTextView::ShowLines(const std::vector<std::string>* lines, const TextLines* textLines, Encoding encoding) {
  lines_ = lines;
  textLines_ = textLines;
  encoding_ = encoding;
  anchor_ = caret_ = {};
  verticalScrollBar()->setValue(0);
  horizontalScrollBar()->setValue(0);
  LinesChanged();
}

void LineTextView::LinesChanged() {
  rows_ = static_cast<int>(std::min<std::size_t>(ShownLineCount(), INT32_MAX));
  auto clamp = [this](Position& p) {
    if (p.line >= rows_) p = {std::max(rows_ - 1, 0), 0};
  };
  clamp(anchor_);
  clamp(caret_);
  MeasureWidth();
  UpdateGutter();
  UpdateScrollBars();
  viewport()->update();
}

QString LineTextView::LineText(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= ShownLineCount()) return {};
  const std::string_view line = LineAt(static_cast<std::size_t>(index));
  QString text = encoding_ == Encoding::ShiftJis ? QString::fromStdString(sjis::ToUtf8(line))
                                                 : QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
  return ExpandTabs(text);
}

int LineTextView::LineHeight() const { return std::max(fontMetrics().lineSpacing(), 1); }

int LineTextView::VisibleRows() const { return std::max(viewport()->height() / LineHeight(), 1); }

int LineTextView::FirstVisibleLine() const { return verticalScrollBar()->value(); }

void LineTextView::LinesAppended() {
  const int before = rows_;
  rows_ = static_cast<int>(std::min<std::size_t>(ShownLineCount(), INT32_MAX));
  if (rows_ < before) return LinesChanged();
  if (rows_ == before) return;
  MeasureWidth(before);
  UpdateGutter();
  UpdateScrollBars();
  viewport()->update();
}

void LineTextView::MeasureWidth(int fromRow) {
  // A byte of Shift-JIS text is about one column of a gothic font (a
  // double-byte character is two), so the longest line in bytes gives the
  // width without decoding every line. Painting widens it when needed.
  std::size_t longest = 0;
  if (HasLines())
    for (std::size_t i = static_cast<std::size_t>(fromRow); i < static_cast<std::size_t>(rows_); ++i)
      longest = std::max(longest, LineAt(i).size());
  const int column = std::max(fontMetrics().horizontalAdvance(QLatin1Char('0')), 1);
  const long long width = static_cast<long long>(longest + 1) * column + 2 * kMargin;
  const int measured = static_cast<int>(std::min<long long>(width, 1 << 24));
  contentWidth_ = fromRow == 0 ? measured : std::max(contentWidth_, measured);
}

void LineTextView::UpdateScrollBars() {
  QScrollBar* v = verticalScrollBar();
  const int visible = VisibleRows();
  v->setRange(0, std::max(rows_ - visible, 0));
  v->setPageStep(visible);
  QScrollBar* h = horizontalScrollBar();
  h->setRange(0, std::max(contentWidth_ - viewport()->width(), 0));
  h->setPageStep(std::max(viewport()->width(), 1));
}

void LineTextView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateGutter();
  UpdateScrollBars();
}

void LineTextView::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    MeasureWidth();
    UpdateGutter();
    UpdateScrollBars();
  }
}

void LineTextView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  const QFontMetrics metrics = fontMetrics();
  const int height = LineHeight();
  const int first = FirstVisibleLine();
  const int x0 = kMargin - horizontalScrollBar()->value();
  const Position from = SelectionStart(), to = SelectionEnd();
  const bool selected = from != to;
  const QPalette& pal = palette();
  const int last = std::min(rows_, static_cast<int>(std::min<std::size_t>(ShownLineCount(), INT32_MAX)));
  int widest = 0;
  for (int row = 0, line = first; line < last && row * height < viewport()->height() + height; ++row, ++line) {
    const QString text = LineText(line);
    const int top = row * height;
    const int baseline = top + metrics.ascent();
    if (line == markedLine_) painter.fillRect(0, top, viewport()->width(), height, QColor(255, 240, 170));
    const bool link = isLink_ && isLink_(line);
    if (link) {
      QFont underlined = painter.font();
      underlined.setUnderline(true);
      painter.setFont(underlined);
    }
    painter.setPen(pal.color(link ? QPalette::Link : QPalette::Text));
    painter.drawText(x0, baseline, text);
    widest = std::max(widest, metrics.horizontalAdvance(text));
    if (selected && line >= from.line && line <= to.line) {
      const int startCol = line == from.line ? std::min<int>(from.column, text.size()) : 0;
      const int endCol = line == to.line ? std::min<int>(to.column, text.size()) : static_cast<int>(text.size());
      const int left = x0 + metrics.horizontalAdvance(text.left(startCol));
      int right = x0 + metrics.horizontalAdvance(text.left(endCol));
      if (line != to.line) right += metrics.horizontalAdvance(QLatin1Char(' '));  // the line end
      if (right > left) {
        const QRect band(left, top, right - left, height);
        painter.fillRect(band, pal.brush(QPalette::Highlight));
        painter.save();
        painter.setClipRect(band);
        painter.setPen(pal.color(QPalette::HighlightedText));
        painter.drawText(x0, baseline, text);
        painter.restore();
      }
    }
    if (link) painter.setFont(font());
  }
  if (widest + 2 * kMargin > contentWidth_) {
    contentWidth_ = widest + 2 * kMargin;
    UpdateScrollBars();
  }
}

void LineTextView::HighlightLine(int index) {
  if (index < 0 || index >= rows_) return;
  anchor_ = {index, 0};
  caret_ = {index, static_cast<int>(LineText(index).size())};
  verticalScrollBar()->setValue(std::max(index - 1, 0));
  horizontalScrollBar()->setValue(0);
  viewport()->update();
}

void LineTextView::ScrollToEnd() { verticalScrollBar()->setValue(verticalScrollBar()->maximum()); }

void LineTextView::SetSelection(Position anchor, Position caret) {
  anchor_ = anchor;
  caret_ = caret;
  viewport()->update();
}

void LineTextView::SelectAll() {
  if (rows_ == 0) return;
  anchor_ = {0, 0};
  caret_ = {rows_ - 1, static_cast<int>(LineText(rows_ - 1).size())};
  viewport()->update();
}

void LineTextView::ClearSelection() {
  anchor_ = caret_;
  viewport()->update();
}

QString LineTextView::SelectedText() const {
  const Position from = SelectionStart(), to = SelectionEnd();
  if (from == to) return {};
  QString text;
  for (int line = from.line; line <= to.line && line < rows_; ++line) {
    const QString shown = LineText(line);
    const int start = line == from.line ? from.column : 0;
    if (line == to.line) {
      text += shown.mid(start, to.column - start);
    } else {
      text += shown.mid(start);
      text += QLatin1Char('\n');
    }
  }
  return text;
}

void LineTextView::copy() const {
  if (HasSelection()) QApplication::clipboard()->setText(SelectedText());
}

LineTextView::Position LineTextView::HitTest(const QPoint& point) const {
  if (rows_ == 0) return {};
  const int line = std::clamp(FirstVisibleLine() + point.y() / LineHeight(), 0, rows_ - 1);
  const QString text = LineText(line);
  const int x = point.x() + horizontalScrollBar()->value() - kMargin;
  const QFontMetrics metrics = fontMetrics();
  // The first character boundary past the middle of the character under x.
  int lo = 0, hi = static_cast<int>(text.size());
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    const int left = metrics.horizontalAdvance(text.left(mid));
    const int right = metrics.horizontalAdvance(text.left(mid + 1));
    if (x < (left + right) / 2) hi = mid;
    else lo = mid + 1;
  }
  return {line, lo};
}

void LineTextView::EnsureCaretVisible() {
  QScrollBar* v = verticalScrollBar();
  if (caret_.line < v->value()) v->setValue(caret_.line);
  else if (caret_.line >= v->value() + VisibleRows()) v->setValue(caret_.line - VisibleRows() + 1);
  const int x = fontMetrics().horizontalAdvance(LineText(caret_.line).left(caret_.column)) + kMargin;
  QScrollBar* h = horizontalScrollBar();
  if (x < h->value()) h->setValue(std::max(x - 20, 0));
  else if (x > h->value() + viewport()->width() - 10) h->setValue(x - viewport()->width() + 20);
}

void LineTextView::MoveCaret(Position to, bool extend) {
  const bool otherLine = to.line != caret_.line;
  caret_ = to;
  if (!extend) anchor_ = to;
  EnsureCaretVisible();
  viewport()->update();
  if (otherLine) emit CaretLineChanged(caret_.line);
}

void LineTextView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    MoveCaret(HitTest(event->position().toPoint()), event->modifiers() & Qt::ShiftModifier);
  }
  QAbstractScrollArea::mousePressEvent(event);
}

void LineTextView::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) MoveCaret(HitTest(event->position().toPoint()), true);
}

void LineTextView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || rows_ == 0) return;
  // A double click selects the whole line.
  const Position at = HitTest(event->position().toPoint());
  anchor_ = {at.line, 0};
  caret_ = {at.line, static_cast<int>(LineText(at.line).size())};
  viewport()->update();
  if (isLink_ && isLink_(at.line)) emit LineActivated(at.line);
}

void LineTextView::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) return copy();
  if (event->matches(QKeySequence::SelectAll)) return SelectAll();
  if (rows_ == 0) return QAbstractScrollArea::keyPressEvent(event);
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && isLink_ && isLink_(caret_.line))
    return emit LineActivated(caret_.line);
  const bool extend = event->modifiers() & Qt::ShiftModifier;
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  Position p = caret_;
  const int length = static_cast<int>(LineText(p.line).size());
  switch (event->key()) {
    case Qt::Key_Left:
      if (p.column > 0) --p.column;
      else if (p.line > 0) p = {p.line - 1, static_cast<int>(LineText(p.line - 1).size())};
      break;
    case Qt::Key_Right:
      if (p.column < length) ++p.column;
      else if (p.line + 1 < rows_) p = {p.line + 1, 0};
      break;
    case Qt::Key_Up: p.line = std::max(p.line - 1, 0); break;
    case Qt::Key_Down: p.line = std::min(p.line + 1, rows_ - 1); break;
    case Qt::Key_PageUp: p.line = std::max(p.line - VisibleRows(), 0); break;
    case Qt::Key_PageDown: p.line = std::min(p.line + VisibleRows(), rows_ - 1); break;
    case Qt::Key_Home: p = ctrl ? Position{0, 0} : Position{p.line, 0}; break;
    case Qt::Key_End:
      p = ctrl ? Position{rows_ - 1, static_cast<int>(LineText(rows_ - 1).size())} : Position{p.line, length};
      break;
    default:
      return QAbstractScrollArea::keyPressEvent(event);
  }
  p.column = std::min<int>(p.column, LineText(p.line).size());
  MoveCaret(p, extend);
}

void LineTextView::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* copyAction = menu.addAction(QStringLiteral("コピー(&C)"), this, &LineTextView::copy);
  copyAction->setEnabled(HasSelection());
  menu.addAction(QStringLiteral("すべて選択(&A)"), this, &LineTextView::SelectAll)->setEnabled(rows_ > 0);
  if (extendMenu_ && rows_ > 0) {
    const int line = HitTest(viewport()->mapFromGlobal(event->globalPos())).line;
    extendMenu_(menu, line);
  }
  menu.exec(event->globalPos());
}

void LineTextView::SetLinkLines(std::function<bool(int)> isLink) {
  isLink_ = std::move(isLink);
  viewport()->update();
}

void LineTextView::SetMarkedLine(int index) {
  markedLine_ = index;
  viewport()->update();
}

void LineTextView::SetMenuExtension(std::function<void(QMenu&, int)> extend) { extendMenu_ = std::move(extend); }

}  // namespace vostrel::gui
