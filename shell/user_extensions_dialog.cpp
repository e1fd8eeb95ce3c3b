#include "shell/user_extensions_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui_common/prompts.h"
#include "settings/app_settings.h"
#include "shell/settings_text.h"

namespace vostrel::gui {

QString NormaliseMask(const QString& mask) {
  if (mask.contains(QStringLiteral("*."))) return mask;
  if (mask.contains(QLatin1Char('.'))) return QLatin1Char('*') + mask;
  return QStringLiteral("*.") + mask;
}

namespace {
bool IsEnter(const QKeyEvent* key) { return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter; }
}  // namespace

UserExtensionsDialog::UserExtensionsDialog(settings::AppSettings& settings, UserPrompts& prompts, QWidget* mainWindow)
    : QDialog(mainWindow), settings_(settings), prompts_(prompts), mainWindow_(mainWindow) {
  setObjectName(QStringLiteral("UserExtensionsDialog"));
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
  User1NameField = field("User1NameField");
  User1MaskField = field("User1MaskField");
  User2NameField = field("User2NameField");
  User2MaskField = field("User2MaskField");
  User1MaskField->setFixedWidth(110);
  User2MaskField->setFixedWidth(110);

  auto* grid = new QGridLayout;
  grid->setVerticalSpacing(2);
  grid->addWidget(new QLabel(QStringLiteral("ﾕｰｻﾞ定義１(表示名)"), this), 0, 0);
  grid->addWidget(new QLabel(QStringLiteral("拡張子"), this), 0, 1);
  grid->addWidget(User1NameField, 1, 0);
  grid->addWidget(User1MaskField, 1, 1);
  grid->addItem(new QSpacerItem(1, 8), 2, 0);
  grid->addWidget(new QLabel(QStringLiteral("ﾕｰｻﾞ定義２(表示名)"), this), 3, 0);
  grid->addWidget(new QLabel(QStringLiteral("拡張子"), this), 3, 1);
  grid->addWidget(User2NameField, 4, 0);
  grid->addWidget(User2MaskField, 4, 1);
  grid->setColumnMinimumWidth(0, 200);

  ChangeButton = new QPushButton(QStringLiteral("変更"), this);
  CancelButton = new QPushButton(QStringLiteral("中止"), this);
  BackButton = new QPushButton(QStringLiteral("戻る"), this);
  ChangeButton->setObjectName(QStringLiteral("ChangeButton"));
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  BackButton->setObjectName(QStringLiteral("BackButton"));
  for (QPushButton* button : {ChangeButton, CancelButton, BackButton}) button->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ChangeButton);
  buttons->addWidget(CancelButton);
  buttons->addWidget(BackButton);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addSpacing(8);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(ChangeButton, &QPushButton::clicked, this, &UserExtensionsDialog::ApplyChanges);
  connect(CancelButton, &QPushButton::clicked, this, &UserExtensionsDialog::Cancel);
  connect(BackButton, &QPushButton::clicked, this, &UserExtensionsDialog::GoBack);
}

void UserExtensionsDialog::showEvent(QShowEvent* event) {
  PlaceAndFill();
  QDialog::showEvent(event);
}

void UserExtensionsDialog::PlaceAndFill() {
  if (mainWindow_) move(mainWindow_->frameGeometry().topLeft());
  FillFields();
  User1NameField->setFocus();
}

void UserExtensionsDialog::FillFields() {
  User1NameField->setText(FromCp932(settings_.User1_Name));
  User1MaskField->setText(FromCp932(settings_.User1_Mask));
  User2NameField->setText(FromCp932(settings_.User2_Name));
  User2MaskField->setText(FromCp932(settings_.User2_Mask));
}

void UserExtensionsDialog::ApplyChanges() {
  for (QLineEdit* mask : {User1MaskField, User2MaskField})
    if (!mask->text().isEmpty()) mask->setText(NormaliseMask(mask->text()));
  if (User1NameField->text().isEmpty()) User1NameField->setText(QStringLiteral("ﾕｰｻﾞ定義1"));
  if (User1MaskField->text().isEmpty()) User1MaskField->setText(QStringLiteral("*.*"));
  if (User2NameField->text().isEmpty()) User2NameField->setText(QStringLiteral("ﾕｰｻﾞ定義2"));
  if (User2MaskField->text().isEmpty()) User2MaskField->setText(QStringLiteral("*.*"));
  settings_.User1_Name = ToCp932(User1NameField->text());
  settings_.User1_Mask = ToCp932(User1MaskField->text());
  settings_.User2_Name = ToCp932(User2NameField->text());
  settings_.User2_Mask = ToCp932(User2MaskField->text());
  accept();
}

void UserExtensionsDialog::Cancel() {
  FillFields();
  reject();
}

void UserExtensionsDialog::GoBack() { reject(); }

void UserExtensionsDialog::keyPressEvent(QKeyEvent* event) {
  // Escape would close the dialog behind its buttons' back: only they close it.
  if (event->key() == Qt::Key_Escape) return;
  QDialog::keyPressEvent(event);
}

bool UserExtensionsDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  auto* edit = qobject_cast<QLineEdit*>(watched);
  if (!edit) return false;
  const bool maskField = edit == User1MaskField || edit == User2MaskField;
  if (!maskField) {
    if (IsEnter(key)) {
      ChangeButton->setFocus();
      return true;
    }
    return false;
  }
  if (IsEnter(key)) {
    if (!edit->text().isEmpty()) {
      edit->setText(NormaliseMask(edit->text()));
      ChangeButton->setFocus();
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
