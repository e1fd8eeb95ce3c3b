#include "shell/word_list_editor.h"

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

WordListEditor::WordListEditor(std::filesystem::path exeDir, UserPrompts& prompts, QWidget* mainWindow, QWidget* parent)
    : QDialog(parent), exeDir_(std::move(exeDir)), prompts_(prompts), mainWindow_(mainWindow) {
  setObjectName(QStringLiteral("WordListEditor"));
  setWindowTitle(QStringLiteral("構文チェックリスト編集"));
  // Sizable, but closed only by its own buttons.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setModal(true);
  setFont(JapanesePixelFont(Pitch::Proportional, 12));
  resize(468, 377);

  WordsEdit = new QPlainTextEdit(this);
  WordsEdit->setObjectName(QStringLiteral("WordsEdit"));
  WordsEdit->setFont(JapanesePixelFont(Pitch::Fixed, 15));
  WordsEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
  WordsEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  WordsEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  WordsEdit->installEventFilter(this);

  SaveButton = new QPushButton(QStringLiteral("保存"), this);
  CancelButton = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
  BackButton = new QPushButton(QStringLiteral("戻る"), this);
  SaveButton->setObjectName(QStringLiteral("SaveButton"));
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  BackButton->setObjectName(QStringLiteral("BackButton"));
  for (QPushButton* button : {SaveButton, CancelButton, BackButton}) button->setAutoDefault(false);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(SaveButton);
  buttons->addWidget(CancelButton);
  buttons->addStretch(1);
  buttons->addWidget(BackButton);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(WordsEdit, 1);
  layout->addLayout(buttons);

  connect(WordsEdit, &QPlainTextEdit::textChanged, this, &WordListEditor::TextEdited);
  connect(SaveButton, &QPushButton::clicked, this, &WordListEditor::SaveList);
  connect(CancelButton, &QPushButton::clicked, this, &WordListEditor::Cancel);
  connect(BackButton, &QPushButton::clicked, this, &WordListEditor::GoBack);
}

std::filesystem::path WordListEditor::LoadPath() const { return settings::WordListFilePath(exeDir_); }

std::filesystem::path WordListEditor::SavePath() const { return settings::DataFolder(exeDir_) / "ChkData.lst"; }

void WordListEditor::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) LoadList();
  QDialog::showEvent(event);
}

void WordListEditor::LoadList() {
  WordsEdit->clear();
  std::string bytes;
  if (ReadBytes(LoadPath(), bytes)) WordsEdit->setPlainText(WordListText(bytes));
  if (mainWindow_) move(mainWindow_->frameGeometry().topLeft());
  SaveButton->setEnabled(false);
}

void WordListEditor::TextEdited() { SaveButton->setEnabled(true); }

bool WordListEditor::eventFilter(QObject* watched, QEvent* event) {
  // Typed letters a to z go in as A to Z.
  if (watched == WordsEdit && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const QString text = key->text();
    if (text.size() == 1 && text[0] >= QLatin1Char('a') && text[0] <= QLatin1Char('z') &&
        !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
      QKeyEvent upper(QEvent::KeyPress, key->key(), key->modifiers(), text.toUpper(), key->isAutoRepeat(),
                      static_cast<ushort>(key->count()));
      QCoreApplication::sendEvent(WordsEdit, &upper);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void WordListEditor::SaveList() {
  int badLine = 0;
  const std::optional<std::string> bytes = WordListBytes(WordsEdit->toPlainText(), &badLine);
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
  SaveButton->setEnabled(false);
}

void WordListEditor::Cancel() { reject(); }

void WordListEditor::GoBack() { reject(); }

}  // namespace vostrel::gui
