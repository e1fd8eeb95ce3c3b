// The findings list: opened from the viewer and the main window, its
// order, its severity filter, and the way to the source view, the editor
// and F4.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "shell/finding_navigator.h"
#include "shell/test_window.h"
#include "viewer/findings_list.h"
#include "viewer/toolpath_tab.h"
#include "viewer/source_view.h"

namespace vostrel::gui {
namespace {

using test::WriteFile;
using window_test::Q;
using window_test::Window;

TEST(FindingsList, ListsByPlaceSortsFiltersAndLeadsToTheSource) {
  Window w;
  // Line 3 defines FEED again (a warning, with a note on line 2); line 5
  // has an unknown word, line 8 an open bracket (errors).
  WriteFile(w.dir / "A.NC", "%\r\n$FEED 200\r\n$FEED 200\r\n\r\ng01 x1. fFEED gotoo\r\nM30\r\n\r\n#1=[#2\r\n%\r\n");
  w.Fill(Q(w.dir / "A.NC"), Q(w.dir.path()), "A", "OUT");
  w.window->Settings().Editor = "ed +%l %f";
  FindingNavigator& findings = *w.window->Findings();
  QStringList launched;
  findings.SetLauncher([&](const QString& program, const QStringList& arguments, LaunchFailed) {
    launched = QStringList{program} + arguments;
    return true;
  });
  QAction* menuItem = w.window->findChild<QAction*>(QStringLiteral("FindingsListAction"));
  ASSERT_NE(menuItem, nullptr);
  EXPECT_FALSE(menuItem->isEnabled());  // nothing to list before a run

  FindingsList* list = nullptr;
  auto linesShown = [&] {
    std::vector<int> lines;
    for (std::size_t i : list->ShownOrder()) lines.push_back(findings.Findings()[i].line);
    return lines;
  };
  auto rowOfLine = [&](int line) {
    const std::vector<int> lines = linesShown();
    return static_cast<int>(std::find(lines.begin(), lines.end(), line) - lines.begin());
  };
  w.Start([&](ViewerDialog& viewer) {
    // The toolpath adds its own finding on line 5 (GOTOO is no address).
    viewer.PathTab->WaitForPath();
    viewer.findChild<QPushButton*>(QStringLiteral("FindingsListButton"))->click();
    list = w.window->findChild<FindingsList*>();
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->isVisible());
    EXPECT_EQ(list->parentWidget(), &viewer);  // usable while the viewer is modal
    EXPECT_EQ(linesShown(), (std::vector<int>{2, 3, 5, 5, 8}));
    list->Table->sortByColumn(3, Qt::AscendingOrder);  // 重大度: errors first
    EXPECT_EQ(linesShown(), (std::vector<int>{5, 5, 8, 3, 2}));
    list->ErrorsBox->setChecked(false);
    EXPECT_EQ(linesShown(), (std::vector<int>{3, 2}));
    list->ErrorsBox->setChecked(true);
    list->Table->sortByColumn(1, Qt::DescendingOrder);  // 行
    EXPECT_EQ(linesShown(), (std::vector<int>{8, 5, 5, 3, 2}));

    // Enter on a row, then a double click on another: the source view shows the place.
    list->Table->setFocus();
    list->Table->setCurrentIndex(list->Table->model()->index(rowOfLine(5), 0));
    QTest::keyClick(list->Table, Qt::Key_Return);
    ASSERT_NE(findings.View(), nullptr);
    EXPECT_EQ(findings.View()->Shown().line, 5);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(list));
    const QRect row8 = list->Table->visualRect(list->Table->model()->index(rowOfLine(8), 1));
    QTest::mouseClick(list->Table->viewport(), Qt::LeftButton, {}, row8.center());  // a double click's first press
    QTest::mouseDClick(list->Table->viewport(), Qt::LeftButton, {}, row8.center());
    EXPECT_EQ(findings.View()->Shown().line, 8);
    EXPECT_EQ(findings.Findings()[list->SelectedFinding()].line, 8);

    // F4 in the list steps on; the list marks the finding the view shows.
    list->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(list, 2000));
    QTest::keyClick(list->Table, Qt::Key_F4);
    EXPECT_NE(findings.View()->Shown().line, 8);
    EXPECT_EQ(findings.Findings()[list->SelectedFinding()].line, findings.View()->Shown().line);

    list->Table->selectRow(rowOfLine(3));
    list->EditorButton->click();
    list->close();
  });
  EXPECT_EQ(launched.value(1), QStringLiteral("+3"));
  EXPECT_TRUE(menuItem->isEnabled());
  menuItem->trigger();
  EXPECT_EQ(list->parentWidget(), w.window.get());
  EXPECT_EQ(list->ShownOrder().size(), 5u);
}

}  // namespace
}  // namespace vostrel::gui
