// The viewer's "印刷" and "印刷設定".

#include "viewer/line_text_view.h"
#include "viewer/print_ctrl_dlg.h"
#include "viewer/print_form.h"
#include "viewer/view_form.h"

#include <QLabel>

namespace vostrel::gui {

void TViewForm::Button2Click() { PrintForm->PrintCommand(*RichEdit1, Label1->text(), this); }

void TViewForm::Button3Click() { PrintCtrlDlg->exec(); }

}  // namespace vostrel::gui
