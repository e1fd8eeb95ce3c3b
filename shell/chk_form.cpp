#include "shell/chk_form.h"

#include <QCoreApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <fstream>
#include <iterator>

#include "gui_common/fonts.h"
#include "gui_common/prompts.h"
#include "platform/atomic_file.h"
#include "platform/read_file.h"
#include "settings/data_folder.h"
#include "text/sjis.h"

namespace vostrel::gui {

namespace {

QString PathText(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return QString::fromUtf8(reinterpret_cast<const char*>(text.data()), static_cast<qsizetype>(text.size()));
}

bool ReadBytes(const std::filesystem::path& path, std::string& bytes) {
  return platform::ReadWholeFile(path, bytes);
}

}  // namespace

std::optional<std::string> WordListBytes(const QString& text, int* badLine) {
  std::string bytes;
  const QStringList lines = text.split(QLatin1Char('\n'));
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const std::optional<std::string> line = sjis::FromUtf8(lines[i].toStdString());
    if (!line) {
      if (badLine) *badLine = static_cast<int>(i + 1);
      return std::nullopt;
    }
    if (i > 0) bytes += "\r\n";
    bytes += *line;
  }
  return bytes;
}

QString WordListText(const std::string& bytes) {
  QString text = QString::fromStdString(sjis::ToUtf8(bytes));
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

TChkForm::TChkForm(std::filesystem::path exeDir, UserPrompts& prompts, QWidget* mainWindow, QWidget* parent)
    : QDialog(parent), exeDir_(std::move(exeDir)), prompts_(prompts), mainWindow_(mainWindow) {
  setObjectName(QStringLiteral("ChkForm"));
  setWindowTitle(QStringLiteral("構文チェックリスト編集"));
  // Sizable, but closed only by its own buttons.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setModal(true);
  setFont(JapanesePixelFont(Pitch::Proportional, 12));
  resize(468, 377);

  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setFont(JapanesePixelFont(Pitch::Fixed, 15));
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->installEventFilter(this);

  Button1 = new QPushButton(QStringLiteral("保存"), this);
  Button2 = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
  Button3 = new QPushButton(QStringLiteral("戻る"), this);
  int n = 1;
  for (QPushButton* button : {Button1, Button2, Button3}) {
    button->setObjectName(QStringLiteral("Button%1").arg(n++));
    button->setAutoDefault(false);
  }

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Button1);
  buttons->addWidget(Button2);
  buttons->addStretch(1);
  buttons->addWidget(Button3);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(Memo1, 1);
  layout->addLayout(buttons);

  connect(Memo1, &QPlainTextEdit::textChanged, this, &TChkForm::Memo1Change);
  connect(Button1, &QPushButton::clicked, this, &TChkForm::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TChkForm::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TChkForm::Button3Click);
}

std::filesystem::path TChkForm::LoadPath() const { return settings::WordListFilePath(exeDir_); }

std::filesystem::path TChkForm::SavePath() const { return settings::DataFolder(exeDir_) / "ChkData.lst"; }

void TChkForm::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) FormShow();
  QDialog::showEvent(event);
}

void TChkForm::FormShow() {
  Memo1->clear();
  std::string bytes;
  if (ReadBytes(LoadPath(), bytes)) Memo1->setPlainText(WordListText(bytes));
  if (mainWindow_) move(mainWindow_->frameGeometry().topLeft());
  Button1->setEnabled(false);
}

void TChkForm::Memo1Change() { Button1->setEnabled(true); }

bool TChkForm::eventFilter(QObject* watched, QEvent* event) {
  // Typed letters a to z go in as A to Z.
  if (watched == Memo1 && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const QString text = key->text();
    if (text.size() == 1 && text[0] >= QLatin1Char('a') && text[0] <= QLatin1Char('z') &&
        !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
      QKeyEvent upper(QEvent::KeyPress, key->key(), key->modifiers(), text.toUpper(), key->isAutoRepeat(),
                      static_cast<ushort>(key->count()));
      QCoreApplication::sendEvent(Memo1, &upper);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TChkForm::Button1Click() {
  int badLine = 0;
  const std::optional<std::string> bytes = WordListBytes(Memo1->toPlainText(), &badLine);
  if (!bytes) {
    prompts_.ShowMessage(this, QStringLiteral("確認"),
                         QStringLiteral("%1 行目に Shift-JIS で保存できない文字があります。\n"
                                        "その文字を取り除いてから保存してください。")
                             .arg(badLine),
                         MessageIcon::Warning);
    return;
  }
  const std::filesystem::path path = SavePath();
  const QString pathText = PathText(path);
  std::string error;
  if (!platform::SaveFileAtomically(path, *bytes, &error, {.createFolder = true})) {
    prompts_.ShowMessage(this, QStringLiteral("確認"),
                         QStringLiteral("ファイル %1 を作成できません\n%2").arg(pathText, QString::fromStdString(error)),
                         MessageIcon::Stop);
    return;
  }
  Button1->setEnabled(false);
}

void TChkForm::Button2Click() { reject(); }

void TChkForm::Button3Click() { reject(); }

}  // namespace vostrel::gui
