#include "shell/findings_list_access.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>

#include "shell/finding_navigator.h"
#include "shell/main_window.h"
#include "viewer/findings_list.h"
#include "viewer/viewer_dialog.h"

namespace vostrel::gui {

namespace {

// Shows the list in front; it belongs to the window in front, so that it
// takes input while the viewer is shown modally.
void OpenList(FindingsList& list, QWidget& mainWindow) {
  QWidget* owner = QApplication::activeModalWidget();
  if (!owner) owner = &mainWindow;
  if (list.parentWidget() != owner) list.setParent(owner, list.windowFlags());
  list.show();
  list.raise();
  list.activateWindow();
  list.Table->setFocus();
}

}  // namespace

void AddFindingsList(MainWindow& window, ViewerDialog& viewer, FindingNavigator& navigator) {
  auto* list = new FindingsList(&window);
  navigator.Attach(list, nullptr, nullptr);  // F4 and Shift+F4 there too
  QObject::connect(&navigator, &FindingNavigator::CountsShown, list,
                   [list, &navigator] { list->SetFindings(navigator.Findings()); });
  QObject::connect(&navigator, &FindingNavigator::Cleared, list, [list] { list->SetFindings({}); });
  QObject::connect(&navigator, &FindingNavigator::CurrentChanged, list, &FindingsList::ShowCurrent);
  QObject::connect(list, &FindingsList::OpenFinding, &navigator, &FindingNavigator::Open);
  QObject::connect(list, &FindingsList::OpenInEditor, &navigator, [&navigator](std::size_t index) {
    if (index < navigator.Findings().size()) navigator.OpenInEditor(navigator.Findings()[index]);
  });
  auto open = [list, &window] { OpenList(*list, window); };

  // The main window: 表示 > 指摘一覧, before the help menu; usable once a run has ended.
  auto* menu = new QMenu(QStringLiteral("表示(&V)"), &window);
  QAction* item = menu->addAction(QStringLiteral("指摘一覧(&L)"));
  item->setObjectName(QStringLiteral("FindingsListAction"));
  item->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
  item->setEnabled(false);
  const QList<QAction*> menus = window.menuBar()->actions();
  window.menuBar()->insertMenu(menus.isEmpty() ? nullptr : menus.back(), menu);
  QObject::connect(item, &QAction::triggered, list, open);
  QObject::connect(&navigator, &FindingNavigator::CountsShown, item, [item] { item->setEnabled(true); });

  // The viewer: a button beside the counts on the log tab.
  auto* button = new QPushButton(QStringLiteral("指摘一覧(&L)..."), viewer.LogTab);
  button->setObjectName(QStringLiteral("FindingsListButton"));
  button->setAutoDefault(false);
  button->setToolTip(QStringLiteral("Ctrl+L"));
  auto* row = new QHBoxLayout;
  if (auto* tab = qobject_cast<QBoxLayout*>(viewer.LogTab->layout())) {
    if (auto* counts = viewer.LogTab->findChild<QLabel*>(QStringLiteral("LogFindingCounts"))) {
      tab->removeWidget(counts);
      row->addWidget(counts);
    }
    row->addStretch(1);
    row->addWidget(button);
    tab->insertLayout(0, row);
  }
  QObject::connect(button, &QPushButton::clicked, list, open);
  QObject::connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), &viewer), &QShortcut::activated, list, open);
}

}  // namespace vostrel::gui
