#include "shell/user_form.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui_common/prompts.h"
#include "settings/app_settings.h"
#include "shell/main_form.h"

namespace vostrel::gui {

QString NormaliseMask(const QString& mask) {
  if (mask.contains(QStringLiteral("*."))) return mask;
  if (mask.contains(QLatin1Char('.'))) return QLatin1Char('*') + mask;
  return QStringLiteral("*.") + mask;
}

namespace {
bool IsEnter(const QKeyEvent* key) { return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter; }
}  // namespace

TUser::TUser(settings::AppSettings& settings, UserPrompts& prompts, QWidget* mainWindow)
    : QDialog(mainWindow), settings_(settings), prompts_(prompts), mainWindow_(mainWindow) {
  setObjectName(QStringLiteral("User"));
  setWindowTitle(QStringLiteral("ﾕｰｻﾞ定義"));
  // Closed only by its own buttons.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setModal(true);

  auto field = [this](const char* name) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(name));
    edit->installEventFilter(this);
    return edit;
  };
  LabeledEdit1 = field("LabeledEdit1");
  LabeledEdit2 = field("LabeledEdit2");
  LabeledEdit3 = field("LabeledEdit3");
  LabeledEdit4 = field("LabeledEdit4");
  LabeledEdit2->setFixedWidth(110);
  LabeledEdit4->setFixedWidth(110);

  auto* grid = new QGridLayout;
  grid->setVerticalSpacing(2);
  grid->addWidget(new QLabel(QStringLiteral("ﾕｰｻﾞ定義１(表示名)"), this), 0, 0);
  grid->addWidget(new QLabel(QStringLiteral("拡張子"), this), 0, 1);
  grid->addWidget(LabeledEdit1, 1, 0);
  grid->addWidget(LabeledEdit2, 1, 1);
  grid->addItem(new QSpacerItem(1, 8), 2, 0);
  grid->addWidget(new QLabel(QStringLiteral("ﾕｰｻﾞ定義２(表示名)"), this), 3, 0);
  grid->addWidget(new QLabel(QStringLiteral("拡張子"), this), 3, 1);
  grid->addWidget(LabeledEdit3, 4, 0);
  grid->addWidget(LabeledEdit4, 4, 1);
  grid->setColumnMinimumWidth(0, 200);

  Button1 = new QPushButton(QStringLiteral("変更"), this);
  Button2 = new QPushButton(QStringLiteral("中止"), this);
  Button3 = new QPushButton(QStringLiteral("戻る"), this);
  int n = 1;
  for (QPushButton* button : {Button1, Button2, Button3}) {
    button->setObjectName(QStringLiteral("Button%1").arg(n++));
    button->setAutoDefault(false);
  }
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(Button1);
  buttons->addWidget(Button2);
  buttons->addWidget(Button3);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addSpacing(8);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(Button1, &QPushButton::clicked, this, &TUser::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TUser::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TUser::Button3Click);
}

void TUser::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TUser::FormShow() {
  if (mainWindow_) move(mainWindow_->frameGeometry().topLeft());
  FillFields();
  LabeledEdit1->setFocus();
}

void TUser::FillFields() {
  LabeledEdit1->setText(FromCp932(settings_.User1_Name));
  LabeledEdit2->setText(FromCp932(settings_.User1_Mask));
  LabeledEdit3->setText(FromCp932(settings_.User2_Name));
  LabeledEdit4->setText(FromCp932(settings_.User2_Mask));
}

void TUser::Button1Click() {
  for (QLineEdit* mask : {LabeledEdit2, LabeledEdit4})
    if (!mask->text().isEmpty()) mask->setText(NormaliseMask(mask->text()));
  if (LabeledEdit1->text().isEmpty()) LabeledEdit1->setText(QStringLiteral("ﾕｰｻﾞ定義1"));
  if (LabeledEdit2->text().isEmpty()) LabeledEdit2->setText(QStringLiteral("*.*"));
  if (LabeledEdit3->text().isEmpty()) LabeledEdit3->setText(QStringLiteral("ﾕｰｻﾞ定義2"));
  if (LabeledEdit4->text().isEmpty()) LabeledEdit4->setText(QStringLiteral("*.*"));
  settings_.User1_Name = ToCp932(LabeledEdit1->text());
  settings_.User1_Mask = ToCp932(LabeledEdit2->text());
  settings_.User2_Name = ToCp932(LabeledEdit3->text());
  settings_.User2_Mask = ToCp932(LabeledEdit4->text());
  accept();
}

void TUser::Button2Click() {
  FillFields();
  reject();
}

void TUser::Button3Click() { reject(); }

void TUser::keyPressEvent(QKeyEvent* event) {
  // Escape would close the dialog behind its buttons' back: only they close it.
  if (event->key() == Qt::Key_Escape) return;
  QDialog::keyPressEvent(event);
}

bool TUser::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  auto* edit = qobject_cast<QLineEdit*>(watched);
  if (!edit) return false;
  const bool maskField = edit == LabeledEdit2 || edit == LabeledEdit4;
  if (!maskField) {
    if (IsEnter(key)) {
      Button1->setFocus();
      return true;
    }
    return false;
  }
  if (IsEnter(key)) {
    if (!edit->text().isEmpty()) {
      edit->setText(NormaliseMask(edit->text()));
      Button1->setFocus();
    }
    return true;
  }
  static const QString kForbidden = QStringLiteral("/:,;?<>|");
  const QString typed = key->text();
  for (QChar c : typed) {
    if (kForbidden.contains(c)) {
      prompts_.ShowMessage(this, QStringLiteral("確認"),
                           QStringLiteral("この文字は拡張子に使えません。\n/:,;?<>|"), MessageIcon::Stop);
      return true;
    }
  }
  return false;
}

}  // namespace vostrel::gui
