#include "viewer/source_view.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui_common/fonts.h"
#include "pipeline/text_lines.h"
#include "platform/read_file.h"
#include "text/path_text.h"
#include "text/sjis.h"
#include "viewer/line_text_view.h"

namespace vostrel::gui {

namespace {

// The length of `text` once the view has expanded its tabs.
int ExpandedLength(const QString& text) {
  int length = 0;
  for (QChar c : text) length = c == QLatin1Char('\t') ? (length / 8 + 1) * 8 : length + 1;
  return length;
}

}  // namespace

SourceView::SourceView(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("SourceView"));
  setWindowTitle(QStringLiteral("ソース表示"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                 Qt::WindowCloseButtonHint);
  setModal(false);

  PlaceLabel = new QLabel(this);
  PlaceLabel->setObjectName(QStringLiteral("PlaceLabel"));
  PlaceLabel->setTextFormat(Qt::PlainText);
  PlaceLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  SourceText = new LineTextView(this);
  SourceText->setObjectName(QStringLiteral("SourceText"));
  SourceText->setFont(JapaneseFont(Pitch::Fixed, 10));
  SourceText->SetLines(&lines_, LineTextView::Encoding::ShiftJis);
  SourceText->SetLineNumbers(true);
  EditorButton = new QPushButton(QStringLiteral("エディタで開く"), this);
  EditorButton->setObjectName(QStringLiteral("EditorButton"));
  EditorButton->setAutoDefault(false);
  EditorSetupButton = new QPushButton(QStringLiteral("エディタ設定..."), this);
  EditorSetupButton->setObjectName(QStringLiteral("EditorSetupButton"));
  EditorSetupButton->setAutoDefault(false);
  auto* hint = new QLabel(QStringLiteral("F4: 次の指摘　Shift+F4: 前の指摘"), this);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(hint, 1);
  buttons->addWidget(EditorSetupButton);
  buttons->addWidget(EditorButton);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addWidget(PlaceLabel);
  layout->addWidget(SourceText, 1);
  layout->addLayout(buttons);
  resize(640, 480);

  connect(EditorButton, &QPushButton::clicked, this, [this] { emit OpenInEditor(shown_); });
  connect(EditorSetupButton, &QPushButton::clicked, this, &SourceView::SetUpEditor);
}

SourceView::Stamp SourceView::StampOf(const std::string& file) {
  std::error_code ec;
  const std::filesystem::path path = PathFromUtf8(file);
  Stamp stamp;
  stamp.size = std::filesystem::file_size(path, ec);
  if (ec) stamp.size = 0;
  stamp.changed = std::filesystem::last_write_time(path, ec);
  return stamp;
}

bool SourceView::ReadFile(const std::string& file) {
  lines_.clear();
  file_.clear();
  SourceText->SetLines(&lines_, LineTextView::Encoding::ShiftJis);
  std::string bytes, error;
  const Stamp stamp = StampOf(file);
  if (!platform::ReadWholeFile(PathFromUtf8(file), bytes, &error)) {
    PlaceLabel->setText(QString::fromStdString(file) + QStringLiteral(" が読み込めません。") +
                        QString::fromStdString(error));
    EditorButton->setEnabled(false);
    return false;
  }
  // The lines stay in the bytes as read: the view costs the file's size and
  // a small index, however long the file.
  lines_ = TextLines::FromSource(std::move(bytes));
  file_ = file;
  stamp_ = stamp;
  SourceText->SetLines(&lines_, LineTextView::Encoding::ShiftJis);
  return true;
}

bool SourceView::ShowPlace(const Finding& finding) {
  shown_ = finding;
  // Read afresh for another file, or when the file changed: the user may
  // keep the view open while stepping through the findings of one file.
  const bool changed = finding.file == file_ && StampOf(file_) != stamp_;
  if ((finding.file != file_ || changed) && !ReadFile(finding.file)) return false;
  EditorButton->setEnabled(true);
  setWindowTitle(QStringLiteral("ソース表示 - ") + QString::fromStdString(finding.file));
  const QString file = QString::fromStdString(finding.file), message = QString::fromStdString(finding.message);
  PlaceLabel->setText((finding.line > 0 ? QStringLiteral("%1:%2  %3").arg(file).arg(finding.line).arg(message)
                                        : file + QStringLiteral("  ") + message) +
                      (changed ? QStringLiteral("\n（ファイルが変更されたため読み直しました）") : QString()));

  const int line = finding.line - 1;
  if (line < 0 || line >= static_cast<int>(lines_.size())) {
    SourceText->SetMarkedLine(-1);
    return true;
  }
  SourceText->HighlightLine(line);  // scrolls it into view
  SourceText->SetMarkedLine(line);
  const int from = ShownColumn(line, finding.column > 0 ? finding.column : 1);
  const int length = finding.column > 0 ? static_cast<int>(QString::fromStdString(finding.word).size()) : 0;
  SourceText->SetSelection({line, from}, {line, std::min<int>(from + length, SourceText->LineText(line).size())});
  return true;
}

bool SourceView::ReloadIfChanged() {
  if (file_.empty() || StampOf(file_) == stamp_) return false;
  ShowPlace(shown_);
  return true;
}

void SourceView::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  // Back from the editor: the file may have changed meanwhile.
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) ReloadIfChanged();
}

int SourceView::ShownColumn(int line, int column) const {
  if (line < 0 || line >= static_cast<int>(lines_.size())) return 0;
  const std::string_view text = lines_[static_cast<std::size_t>(line)];
  // column - 1 characters (tabs expand as shown).
  std::size_t end = 0;
  for (int k = 1; k < column && end < text.size(); ++k) end += sjis::CharLength(text, end);
  return ExpandedLength(QString::fromStdString(sjis::ToUtf8(text.substr(0, std::min(end, text.size())))));
}

}  // namespace vostrel::gui
