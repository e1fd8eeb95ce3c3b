#include "viewer/source_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstdio>

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

bool SourceView::ShowPlace(const Finding& finding) {
  shown_ = finding;
  if (finding.file != file_) {
    // Read afresh only for another file: the user may keep the view open
    // while stepping through the findings of one file.
    std::string bytes, error;
    lines_.clear();
    file_.clear();
    if (!platform::ReadWholeFile(PathFromUtf8(finding.file), bytes, &error)) {
      SourceText->SetLines(&lines_, LineTextView::Encoding::ShiftJis);
      PlaceLabel->setText(QString::fromStdString(finding.file) + QStringLiteral(" が読み込めません。") +
                          QString::fromStdString(error));
      EditorButton->setEnabled(false);
      return false;
    }
    const TextLines source = SplitSourceText(bytes);
    numberWidth_ = std::to_string(source.size()).size();
    lines_.clear();
    lines_.reserve(source.size());
    for (std::size_t i = 0; i < source.size(); ++i) {
      char number[32];
      std::snprintf(number, sizeof number, "%*zu  ", static_cast<int>(numberWidth_), i + 1);
      lines_.push_back(std::string(number).append(source[i]));
    }
    file_ = finding.file;
    SourceText->SetLines(&lines_, LineTextView::Encoding::ShiftJis);
  }
  EditorButton->setEnabled(true);
  setWindowTitle(QStringLiteral("ソース表示 - ") + QString::fromStdString(finding.file));
  const QString file = QString::fromStdString(finding.file), message = QString::fromStdString(finding.message);
  PlaceLabel->setText(finding.line > 0 ? QStringLiteral("%1:%2  %3").arg(file).arg(finding.line).arg(message)
                                       : file + QStringLiteral("  ") + message);

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

int SourceView::ShownColumn(int line, int column) const {
  if (line < 0 || line >= static_cast<int>(lines_.size())) return 0;
  const std::string_view text = lines_[static_cast<std::size_t>(line)];
  // The bytes before the column: the line number, then column - 1 characters.
  std::size_t end = numberWidth_ + 2;
  for (int k = 1; k < column && end < text.size(); ++k) end += sjis::CharLength(text, end);
  return ExpandedLength(QString::fromStdString(sjis::ToUtf8(text.substr(0, std::min(end, text.size())))));
}

}  // namespace vostrel::gui
