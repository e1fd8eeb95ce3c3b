#pragma once
// Where the findings list opens: the main window's "表示" menu and the
// viewer's log tab, and Ctrl+L in both. The list follows the navigator:
// it is filled when a run ends, emptied when one starts, and marks the
// finding the source view shows.

namespace vostrel::gui {

class FindingNavigator;
class MainWindow;
class ViewerDialog;

void AddFindingsList(MainWindow& window, ViewerDialog& viewer, FindingNavigator& navigator);

}  // namespace vostrel::gui
