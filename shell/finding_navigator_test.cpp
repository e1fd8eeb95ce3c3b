// Findings in the window: a log line leads to its place in the source view,
// F4 steps on, the counts stand beside the log, and the editor gets the
// place on its command line.

#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QTest>

#include <tuple>

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

    // Shift+F4 from the source view walks back in line order: the word on
    // line 4, then the toolpath's finding on line 4 (no column: first on
    // its line).
    findings.View()->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(findings.View(), 2000));
    QTest::keyClick(findings.View()->SourceText, Qt::Key_F4, Qt::ShiftModifier);
    places.push_back(Selected(*findings.View()));
    QTest::keyClick(findings.View()->SourceText, Qt::Key_F4, Qt::ShiftModifier);
    places.push_back(Selected(*findings.View()));
  });
  EXPECT_EQ(places, (std::vector<std::string>{"4:gotoo", "7:[", "4:gotoo", "4:"}));
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

// F4 walks the findings by file, then line and column, whatever order the
// log gave them in; Shift+F4 walks back, both round the ends.
TEST(FindingLinks, F4FollowsFileAndLineOrder) {
  Window w;
  std::string source;
  for (int i = 1; i <= 12; ++i) source += "G0" + std::to_string(i) + "\r\n";
  WriteFile(w.dir / "A.NC", source);
  WriteFile(w.dir / "B.DEF", "$X 1\r\n");
  FindingNavigator& findings = *w.window->Findings();
  const std::string a = (w.dir / "A.NC").string(), b = (w.dir / "B.DEF").string();
  // In the order of the log.
  const std::tuple<std::string, int, int> logged[] = {{b, 1, 1}, {a, 2, 1}, {a, 8, 1},  {a, 10, 1},
                                                      {a, 11, 1}, {a, 9, 1}, {a, 5, 3}, {a, 5, 1}};
  for (const auto& [file, line, column] : logged) findings.Add(test::FindingAt(file, line, column));
  auto walk = [&](void (FindingNavigator::*step)(), int count) {
    std::vector<std::string> places;
    for (int i = 0; i < count; ++i) {
      (findings.*step)();
      const Finding& shown = findings.View()->Shown();
      places.push_back((shown.file == b ? "B" : "A") + std::to_string(shown.line) + "." +
                       std::to_string(shown.column));
    }
    return places;
  };
  EXPECT_EQ(walk(&FindingNavigator::Next, 9),
            (std::vector<std::string>{"A2.1", "A5.1", "A5.3", "A8.1", "A9.1", "A10.1", "A11.1", "B1.1", "A2.1"}));
  EXPECT_EQ(walk(&FindingNavigator::Previous, 2), (std::vector<std::string>{"B1.1", "A11.1"}));
  findings.Clear();
  findings.Add(test::FindingAt(a, 3, 1));
  EXPECT_EQ(walk(&FindingNavigator::Previous, 1), (std::vector<std::string>{"A3.1"}));
}

// The editor gets the file's full path, also for a file named relative to
// the current folder; a failure, at once or when the editor gives up, is
// told with the command.
TEST(FindingLinks, EditorGetsTheFullPathAndItsFailureIsTold) {
  Window w;
  FindingNavigator& findings = *w.window->Findings();
  w.window->Settings().Editor = "gedit +%l %f";
  QStringList got;
  LaunchFailed giveUp;
  findings.SetLauncher([&](const QString& program, const QStringList& arguments, LaunchFailed failed) {
    got = QStringList{program} + arguments;
    giveUp = std::move(failed);
    return true;
  });
  findings.OpenInEditor(test::FindingAt("SUB/A.NC", 4, 2));
  EXPECT_EQ(got, (QStringList{"gedit", "+4", QDir::current().absoluteFilePath("SUB/A.NC")}));
  EXPECT_TRUE(w.prompts.shown.empty());
  ASSERT_TRUE(giveUp);
  giveUp();  // the editor ended with a status other than 0
  ASSERT_EQ(w.prompts.shown.size(), 1u);
  EXPECT_EQ(w.prompts.shown[0].text, QStringLiteral("エディタを起動できません。\ngedit +%l %f"));
}

TEST(FindingLinks, EditorCommandLineTakesThePlace) {
  EXPECT_EQ(EditorCommandLine(QStringLiteral("gedit +%l %f"), QStringLiteral("/nc/a b.nc"), 12, 3),
            (QStringList{"gedit", "+12", "/nc/a b.nc"}));
  EXPECT_EQ(EditorCommandLine(QStringLiteral("code -g \"%f:%l:%c\""), QStringLiteral("/nc/a.nc"), 7, 0),
            (QStringList{"code", "-g", "/nc/a.nc:7:1"}));
}

}  // namespace
}  // namespace vostrel::gui
