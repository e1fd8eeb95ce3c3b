// The viewer's "印刷" and "印刷設定".

#include "viewer/line_text_view.h"
#include "viewer/listing_printer.h"
#include "viewer/print_settings_dialog.h"
#include "viewer/toolpath_tab.h"
#include "viewer/viewer_dialog.h"

#include <QLabel>
#include <QTabWidget>

namespace vostrel::gui {

void ViewerDialog::PrintResult() {
  if (Tabs->currentWidget() == PathTab) return PathTab->Print(TargetLabel->text());
  Printing->PrintCommand(*ResultView, TargetLabel->text(), this);
}

void ViewerDialog::EditPrintSettings() { PrintSettings->exec(); }

}  // namespace vostrel::gui
