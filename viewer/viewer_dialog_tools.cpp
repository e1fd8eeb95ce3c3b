// The viewer's tools for reading a long result: the search and go-to-line
// bar under the tabs, and the line numbers beside the converted data (a
// setting of the [View] section, switched from the text's context menu).

#include <QAction>
#include <QMenu>
#include <QTabWidget>
#include <QVBoxLayout>

#include "settings/app_settings.h"
#include "viewer/find_bar.h"
#include "viewer/line_text_view.h"
#include "viewer/viewer_dialog.h"

namespace vostrel::gui {

LineTextView* ViewerDialog::ShownTextView() const {
  QWidget* tab = Tabs->currentWidget();
  return tab == ResultTab ? ResultView : tab == LogTab ? LogView : nullptr;
}

void ViewerDialog::AddTools() {
  FindBar = new TextFindBar([this] { return ShownTextView(); }, this);
  if (auto* box = qobject_cast<QVBoxLayout*>(layout())) box->insertWidget(box->indexOf(Tabs) + 1, FindBar);
  FindBar->AddShortcuts(this);
  ResultView->SetMenuExtension([this](QMenu& menu, int) {
    menu.addSeparator();
    menu.addAction(QStringLiteral("検索(&F)...\tCtrl+F"), FindBar, &TextFindBar::OpenFind);
    menu.addAction(QStringLiteral("行へ移動(&G)...\tCtrl+G"), FindBar, &TextFindBar::OpenGoToLine);
    QAction* numbers = menu.addAction(QStringLiteral("行番号を表示(&N)"));
    numbers->setCheckable(true);
    numbers->setChecked(ResultView->LineNumbers());
    connect(numbers, &QAction::toggled, this, [this](bool shown) {
      settings_.View.LineNumbers = shown;
      ResultView->SetLineNumbers(shown);
    });
  });
}

}  // namespace vostrel::gui
