// Findings in the window: a log line leads to its place in the source view,
// F4 steps on, the counts stand beside the log, and the editor gets the
// place on its command line.

#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

#include "shell/finding_navigator.h"
#include "shell/test_window.h"
#include "viewer/line_text_view.h"
#include "viewer/source_view.h"
#include "viewer/toolpath_tab.h"
#include "viewer/viewer_dialog.h"

namespace vostrel::gui {
namespace {

using test::WriteFile;
using window_test::Q;
using window_test::Window;

// The run log line (0-based) that equals `text`; -1 when none does.
int LogLine(const LineTextView& log, const QString& text) {
  for (int i = 0; i < log.LineCount(); ++i)
    if (log.LineText(i) == text) return i;
  return -1;
}

// Where the view's selection starts and what it holds.
std::string Selected(const SourceView& view) {
  const auto from = view.SourceText->SelectionStart();
  return std::to_string(from.line + 1) + ":" + view.SourceText->SelectedText().toStdString();
}

TEST(FindingLinks, LogLinesLeadToTheirPlaceInTheSource) {
  Window w;
  // Line 4 has a double-byte remark before the word; line 7's bracket
  // counts in the source, not in the tidied output.
  WriteFile(w.dir / "A.NC", std::string("%\r\n$FEED 200\r\n\r\n(\x89\xc1\x8d\x48) g01 x1. fFEED gotoo\r\n") +
                                "M30\r\n\r\n#1=[#2\r\n%\r\n");
  w.Fill(Q(w.dir / "A.NC"), Q(w.dir.path()), "A", "OUT");
  FindingNavigator& findings = *w.window->Findings();
  std::vector<std::string> places;
  QString tabCounts;
  w.Start([&](ViewerDialog& viewer) {
    // The toolpath's finding (GOTOO read as a G word without a value) joins
    // the run's two, last.
    viewer.PathTab->WaitForPath();
    tabCounts = viewer.findChild<QLabel*>(QStringLiteral("LogFindingCounts"))->text();
    LineTextView& log = *viewer.LogView;
    // Enter on the unknown word's log line, then a double click on the bracket's.
    const int word = LogLine(log, QStringLiteral("4行目 GOTOO 不明"));
    ASSERT_GE(word, 0);
    log.SetSelection({word, 0}, {word, 0});
    QTest::keyClick(&log, Qt::Key_Return);
    ASSERT_NE(findings.View(), nullptr);
    EXPECT_TRUE(findings.View()->isVisible());
    places.push_back(Selected(*findings.View()));

    const int bracket = LogLine(log, QStringLiteral("7行目 []の数が合いません。"));
    ASSERT_GE(bracket, 0);
    viewer.Tabs->setCurrentWidget(viewer.LogTab);
    log.HighlightLine(bracket);  // scrolls it to the second visible row
    const int height = log.fontMetrics().lineSpacing();
    QTest::mouseDClick(log.viewport(), Qt::LeftButton, {},
                       QPoint(10, (bracket - log.FirstVisibleLine()) * height + height / 2));
    places.push_back(Selected(*findings.View()));

    // Shift+F4 from the source view goes round to the last finding, the
    // toolpath's on line 4 (no column), and on back to the word.
    findings.View()->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(findings.View(), 2000));
    QTest::keyClick(findings.View()->SourceText, Qt::Key_F4, Qt::ShiftModifier);
    places.push_back(Selected(*findings.View()));
    QTest::keyClick(findings.View()->SourceText, Qt::Key_F4, Qt::ShiftModifier);
    places.push_back(Selected(*findings.View()));
  });
  EXPECT_EQ(places, (std::vector<std::string>{"4:gotoo", "7:[", "4:", "4:gotoo"}));
  EXPECT_EQ(tabCounts, QStringLiteral("エラー 3件　警告 0件"));
  EXPECT_EQ(findings.Errors(), 3);
}

TEST(FindingLinks, AStoppedRunLinksItsLastLogLineToTheIncludeLine) {
  Window w;
  WriteFile(w.dir / "D.NC0", "%\r\nO4000\r\n#INCLUDE NOFILE.DEF\r\nM30\r\n%\r\n");
  w.Fill(Q(w.dir / "D.NC0"), Q(w.dir.path()), "D", "NC");
  w.Start();
  LineTextView& log = *w.window->LogView;
  ASSERT_TRUE(w.window->Findings()->OpenLogLine(log.LineCount() - 1));
  EXPECT_EQ(Selected(*w.window->Findings()->View()), "3:NOFILE.DEF");
  EXPECT_EQ(w.window->findChild<QLabel*>(QStringLiteral("FindingCounts"))->text(),
            QStringLiteral("エラー 1件　警告 0件"));
}

TEST(FindingLinks, EditorCommandLineTakesThePlace) {
  EXPECT_EQ(EditorCommandLine(QStringLiteral("gedit +%l %f"), QStringLiteral("/nc/a b.nc"), 12, 3),
            (QStringList{"gedit", "+12", "/nc/a b.nc"}));
  EXPECT_EQ(EditorCommandLine(QStringLiteral("code -g \"%f:%l:%c\""), QStringLiteral("/nc/a.nc"), 7, 0),
            (QStringList{"code", "-g", "/nc/a.nc:7:1"}));
}

}  // namespace
}  // namespace vostrel::gui
