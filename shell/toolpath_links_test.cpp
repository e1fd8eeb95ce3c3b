// The 経路 tab in a run: a move leads to the source line it came from, and
// the interpreter's findings join the run's for F4.

#include <gtest/gtest.h>

#include <QAction>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "shell/finding_navigator.h"
#include "shell/main_window.h"
#include "shell/test_window.h"
#include "viewer/source_view.h"
#include "viewer/toolpath_tab.h"
#include "viewer/toolpath_view.h"
#include "viewer/viewer_dialog.h"

namespace vostrel::gui {
namespace {

using test::WriteFile;
using window_test::Q;
using window_test::Window;

TEST(ToolpathLinks, MovesAndInterpreterFindingsLeadToTheSourceLines) {
  Window w;
  // The definition line goes from the output: the cut on source line 4 is
  // output line 3, and has no feed rate.
  WriteFile(w.dir / "A.NC", "%\r\n$XPOS X10.\r\nG00 X0. Y0.\r\nG01 XPOS Y5.\r\nM30\r\n%\r\n");
  w.Fill(Q(w.dir / "A.NC"), Q(w.dir.path()), "A", "OUT");
  FindingNavigator& findings = *w.window->Findings();
  w.Start([&](ViewerDialog& viewer) {
    viewer.Tabs->setCurrentWidget(viewer.PathTab);
    ToolpathTab& tab = *viewer.PathTab;
    tab.WaitForPath();
    QApplication::processEvents();
    ASSERT_TRUE(tab.HasPath());
    const double middle[3] = {5, 2.5, 0};
    QTest::mouseDClick(tab.View, Qt::LeftButton, {}, tab.View->ToWindow(middle).toPoint());
    ASSERT_NE(findings.View(), nullptr);
    EXPECT_EQ(findings.View()->Shown().line, 4);
    EXPECT_TRUE(QString::fromStdString(findings.View()->Shown().file).endsWith(QStringLiteral("A.NC")));
    findings.View()->close();

    // F4 reaches the interpreter's finding at the same source line.
    bool reached = false;
    for (std::size_t i = 0; i < findings.Findings().size() && !reached; ++i) {
      QTest::keyClick(&viewer, Qt::Key_F4);
      reached = findings.View()->Shown().stage == "ツールパス";
    }
    EXPECT_TRUE(reached);
    EXPECT_EQ(findings.View()->Shown().line, 4);
    findings.View()->close();
  });
  // After the run the main window's 経路表示 opens the viewer on the path.
  ASSERT_TRUE(w.window->ToolpathAction->isEnabled());
  QWidget* shown = nullptr;
  QTimer::singleShot(50, [&] {
    shown = w.window->Viewer()->Tabs->currentWidget();
    w.window->Viewer()->close();
  });
  w.window->ToolpathAction->trigger();
  EXPECT_EQ(shown, w.window->Viewer()->PathTab);
}

}  // namespace
}  // namespace vostrel::gui
