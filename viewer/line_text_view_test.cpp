// The line view of the working text, the log and the viewer panes.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QTest>

#include "tests/test_support.h"
#include "viewer/line_text_view.h"

namespace vostrel::gui {
namespace {

using test::Sjis;

TEST(LineTextView, DecodesShiftJisAndExpandsTabs) {
  const std::vector<std::string> lines = {Sjis("(切削) G01"), "A\tB", "", "\xff"};
  LineTextView view;
  view.SetLines(&lines, LineTextView::Encoding::ShiftJis);
  EXPECT_EQ(view.LineCount(), 4);
  EXPECT_EQ(view.LineText(0), "(切削) G01");
  EXPECT_EQ(view.LineText(1), "A       B");
  EXPECT_EQ(view.LineText(2), "");
  EXPECT_EQ(view.LineText(3), QString(QChar(0xFFFD)));
  EXPECT_EQ(view.LineText(9), "");  // past the end reads as empty
}

TEST(LineTextView, HighlightMakesTheLineTheSecondVisibleOne) {
  std::vector<std::string> lines;
  for (int i = 0; i < 1000; ++i) lines.push_back("N" + std::to_string(i + 1) + " G01 X1.0");
  LineTextView view;
  view.resize(300, 200);
  view.SetLines(&lines, LineTextView::Encoding::ShiftJis);
  view.show();
  view.HighlightLine(499);
  EXPECT_EQ(view.FirstVisibleLine(), 498);
  EXPECT_EQ(view.SelectedText(), "N500 G01 X1.0");
  view.HighlightLine(0);
  EXPECT_EQ(view.FirstVisibleLine(), 0);
  // Lines removed under the view: the selection follows into range.
  lines.resize(10);
  view.LinesChanged();
  EXPECT_EQ(view.LineCount(), 10);
  view.HighlightLine(500);  // out of range: ignored
  EXPECT_EQ(view.SelectedText(), "N1 G01 X1.0");
}

TEST(LineTextView, SelectionAcrossLinesAndCopy) {
  const std::vector<std::string> lines = {"G00 X0", "G01 Y1", "M30"};
  LineTextView view;
  view.SetLines(&lines, LineTextView::Encoding::Utf8);
  view.SetSelection({0, 4}, {2, 1});
  EXPECT_EQ(view.SelectedText(), "X0\nG01 Y1\nM");
  view.SetSelection({2, 1}, {0, 4});  // backwards gives the same text
  EXPECT_EQ(view.SelectedText(), "X0\nG01 Y1\nM");
  view.copy();
  EXPECT_EQ(QApplication::clipboard()->text(), "X0\nG01 Y1\nM");
  view.SelectAll();
  EXPECT_EQ(view.SelectedText(), "G00 X0\nG01 Y1\nM30");
  view.ClearSelection();
  EXPECT_FALSE(view.HasSelection());
}

TEST(LineTextView, KeyboardMovesAndExtendsTheSelection) {
  const std::vector<std::string> lines = {"ABC", "DEFG", "H"};
  LineTextView view;
  view.SetLines(&lines, LineTextView::Encoding::Utf8);
  view.show();
  QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
  QTest::keyClick(&view, Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(view.SelectedText(), "ABC\nD");
  QTest::keyClick(&view, Qt::Key_End, Qt::ShiftModifier);
  EXPECT_EQ(view.SelectedText(), "ABC\nDEFG");
  QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(view.SelectedText(), "ABC\nDEFG\nH");
  QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
  EXPECT_FALSE(view.HasSelection());
}

TEST(LineTextView, MouseDragSelects) {
  const std::vector<std::string> lines = {"G00 X0 Y0", "M30"};
  LineTextView view;
  view.resize(400, 200);
  view.SetLines(&lines, LineTextView::Encoding::Utf8);
  view.show();
  const int h = view.fontMetrics().lineSpacing();
  QTest::mousePress(view.viewport(), Qt::LeftButton, {}, QPoint(1, h / 2));
  QTest::mouseMove(view.viewport(), QPoint(390, h + h / 2));
  QMouseEvent move(QEvent::MouseMove, QPointF(390, h + h / 2), QPointF(390, h + h / 2), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(view.viewport(), &move);
  EXPECT_EQ(view.SelectedText(), "G00 X0 Y0\nM30");
}

TEST(LineTextView, MillionLinesSelectAllAndAppend) {
  std::vector<std::string> lines(1000000, "X1.000 Y2.000");
  LineTextView view;
  view.SetLines(&lines, LineTextView::Encoding::ShiftJis);
  view.SelectAll();
  const QString all = view.SelectedText();
  EXPECT_EQ(all.size(), 1000000 * 14 - 1);
  lines.push_back("M30");
  view.LinesAppended();
  EXPECT_EQ(view.LineCount(), 1000001);
  view.ScrollToEnd();
  EXPECT_EQ(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());
}

}  // namespace
}  // namespace vostrel::gui
