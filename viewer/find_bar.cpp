#include "viewer/find_bar.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

#include "text/sjis.h"
#include "viewer/line_text_view.h"

namespace vostrel::gui {

TextFindBar::TextFindBar(std::function<LineTextView*()> shownView, QWidget* parent)
    : QWidget(parent), shownView_(std::move(shownView)), slice_(new QTimer(this)) {
  setObjectName(QStringLiteral("FindBar"));
  auto button = [this](const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
  };
  FindField = new QLineEdit(this);
  FindField->setObjectName(QStringLiteral("FindField"));
  FindField->setClearButtonEnabled(true);
  NextButton = button("NextButton", QStringLiteral("次へ(&N)"));
  PreviousButton = button("PreviousButton", QStringLiteral("前へ(&B)"));
  NextButton->setToolTip(QStringLiteral("F3"));
  PreviousButton->setToolTip(QStringLiteral("Shift+F3"));
  MatchCaseBox = new QCheckBox(QStringLiteral("大/小文字を区別(&C)"), this);
  MatchCaseBox->setObjectName(QStringLiteral("MatchCaseBox"));
  LineField = new QLineEdit(this);
  LineField->setObjectName(QStringLiteral("LineField"));
  LineField->setValidator(new QIntValidator(1, INT32_MAX, LineField));
  LineField->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000000")) + 12);
  GoButton = button("GoButton", QStringLiteral("移動"));
  Status = new QLabel(this);
  Status->setObjectName(QStringLiteral("FindStatus"));
  Status->setTextFormat(Qt::PlainText);
  CloseButton = button("CloseFindButton", QStringLiteral("×"));
  CloseButton->setToolTip(QStringLiteral("閉じる (Esc)"));
  CloseButton->setFixedWidth(CloseButton->sizeHint().height());

  auto* findLabel = new QLabel(QStringLiteral("検索(&F):"), this);
  findLabel->setBuddy(FindField);
  auto* lineLabel = new QLabel(QStringLiteral("行(&L):"), this);
  lineLabel->setBuddy(LineField);

  // Two rows, so that the bar fits a narrow viewer: the search, then the
  // line and what the search came to.
  auto* findRow = new QHBoxLayout;
  findRow->addWidget(findLabel);
  findRow->addWidget(FindField, 1);
  findRow->addWidget(PreviousButton);
  findRow->addWidget(NextButton);
  findRow->addWidget(CloseButton);
  auto* lineRow = new QHBoxLayout;
  lineRow->addWidget(MatchCaseBox);
  lineRow->addSpacing(8);
  lineRow->addWidget(lineLabel);
  lineRow->addWidget(LineField);
  lineRow->addWidget(GoButton);
  lineRow->addSpacing(8);
  lineRow->addWidget(Status, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 2, 0, 0);
  layout->setSpacing(2);
  layout->addLayout(findRow);
  layout->addLayout(lineRow);

  slice_->setSingleShot(true);
  slice_->setInterval(0);
  connect(slice_, &QTimer::timeout, this, &TextFindBar::SearchSlice);
  connect(NextButton, &QPushButton::clicked, this, &TextFindBar::FindNext);
  connect(PreviousButton, &QPushButton::clicked, this, &TextFindBar::FindPrevious);
  connect(CloseButton, &QPushButton::clicked, this, &TextFindBar::CloseBar);
  // Typing searches on from where the last match began, so that the match
  // grows with the word.
  connect(FindField, &QLineEdit::textEdited, this,
          [this] { StartSearch(LineSearch::Direction::Forward, true); });
  connect(MatchCaseBox, &QCheckBox::toggled, this, [this] { StartSearch(LineSearch::Direction::Forward, true); });
  connect(FindField, &QLineEdit::returnPressed, this, [this] {
    if (QGuiApplication::keyboardModifiers() & Qt::ShiftModifier) FindPrevious();
    else FindNext();
  });
  auto goToTypedLine = [this] {
    bool ok = false;
    const int number = LineField->text().toInt(&ok);
    if (ok) GoToLine(number);
  };
  connect(LineField, &QLineEdit::returnPressed, this, goToTypedLine);
  connect(GoButton, &QPushButton::clicked, this, goToTypedLine);
  // Esc closes the bar first, from anywhere in the window (a shortcut of a
  // hidden widget does not fire, so then Esc closes the window as before).
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setContext(Qt::WindowShortcut);
  connect(escape, &QShortcut::activated, this, &TextFindBar::CloseBar);
  hide();
}

void TextFindBar::AddShortcuts(QWidget* window) {
  connect(new QShortcut(QKeySequence::Find, window), &QShortcut::activated, this, &TextFindBar::OpenFind);
  connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_G), window), &QShortcut::activated, this,
          &TextFindBar::OpenGoToLine);
  connect(new QShortcut(QKeySequence(Qt::Key_F3), window), &QShortcut::activated, this, &TextFindBar::FindNext);
  connect(new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), window), &QShortcut::activated, this,
          &TextFindBar::FindPrevious);
}

void TextFindBar::OpenFind() {
  // A short selection on one line is what the user wants to find.
  if (LineTextView* view = shownView_(); view && view->HasSelection()) {
    const QString selected = view->SelectedText();
    if (!selected.contains(QLatin1Char('\n')) && selected.size() <= 100) FindField->setText(selected);
  }
  show();
  FindField->setFocus();
  FindField->selectAll();
}

void TextFindBar::OpenGoToLine() {
  if (LineTextView* view = shownView_()) {
    LineField->setPlaceholderText(QStringLiteral("1-%1").arg(view->LineCount()));
    if (view->HasSelection() || view->SelectionStart().line > 0)
      LineField->setText(QString::number(view->SelectionEnd().line + 1));
  }
  show();
  LineField->setFocus();
  LineField->selectAll();
}

void TextFindBar::CloseBar() {
  StopSearch();
  hide();
  if (LineTextView* view = shownView_()) view->setFocus();
}

void TextFindBar::FindNext() {
  if (FindField->text().isEmpty()) return OpenFind();
  StartSearch(LineSearch::Direction::Forward, false);
}

void TextFindBar::FindPrevious() {
  if (FindField->text().isEmpty()) return OpenFind();
  StartSearch(LineSearch::Direction::Backward, true);
}

bool TextFindBar::GoToLine(int number) {
  LineTextView* view = shownView_();
  if (!view) return false;
  if (number < 1 || number > view->LineCount()) {
    ShowState(QStringLiteral("行番号は 1〜%1 です").arg(view->LineCount()), true);
    return false;
  }
  view->HighlightLine(number - 1);
  ShowState(QString(), false);
  return true;
}

void TextFindBar::ShowState(const QString& text, bool failed) {
  Status->setText(text);
  Status->setStyleSheet(failed ? QStringLiteral("color: #c00000") : QString());
}

void TextFindBar::StopSearch() {
  slice_->stop();
  search_.reset();
  searchView_ = nullptr;
}

void TextFindBar::StartSearch(LineSearch::Direction direction, bool fromSelectionStart) {
  StopSearch();
  LineTextView* view = shownView_();
  const QString text = FindField->text();
  if (!view || text.isEmpty()) return ShowState(QString(), false);
  const bool shiftJis = view->LineEncoding() == LineTextView::Encoding::ShiftJis;
  std::optional<std::string> word = text.toStdString();
  if (shiftJis) word = sjis::FromUtf8(*word);
  if (!word) return ShowState(QStringLiteral("見つかりません"), true);  // not writable in the text's code
  const LineTextView::Position at =
      direction == LineSearch::Direction::Backward || fromSelectionStart ? view->SelectionStart()
                                                                         : view->SelectionEnd();
  searchView_ = view;
  search_.emplace(std::move(*word), shiftJis ? LineSearch::Coding::ShiftJis : LineSearch::Coding::Utf8,
                  MatchCaseBox->isChecked(), direction, static_cast<std::size_t>(view->LineCount()),
                  LineSearch::Place{static_cast<std::size_t>(at.line), view->ByteOfColumn(at.line, at.column)});
  SearchSlice();
}

void TextFindBar::SearchSlice() {
  if (!search_ || !searchView_) return;
  LineTextView* view = searchView_;
  const LineSearch::State state =
      search_->Run([view](std::size_t i) { return view->LineBytes(static_cast<int>(i)); }, kSliceBytes);
  if (state == LineSearch::State::Searching) {
    const int lines = std::max(view->LineCount(), 1);
    ShowState(QStringLiteral("検索中… %1%").arg(static_cast<int>(search_->LinesSeen() * 100 / lines)), false);
    slice_->start();
    return;
  }
  if (state == LineSearch::State::Found) {
    const LineSearch::Place match = search_->Match();
    const int line = static_cast<int>(match.line);
    view->ShowSelection({line, view->ColumnOfByte(line, match.byte)},
                        {line, view->ColumnOfByte(line, match.byte + search_->WordSize())});
    const bool forward = search_->Heading() == LineSearch::Direction::Forward;
    ShowState(!search_->WentRound() ? QString()
              : forward           ? QStringLiteral("末尾まで検索したので先頭から検索しました")
                                  : QStringLiteral("先頭まで検索したので末尾から検索しました"),
              false);
  } else {
    ShowState(QStringLiteral("見つかりません"), true);
  }
  search_.reset();
  searchView_ = nullptr;
}

void TextFindBar::hideEvent(QHideEvent* event) {
  StopSearch();
  QWidget::hideEvent(event);
}

}  // namespace vostrel::gui
