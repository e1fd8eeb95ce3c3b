// Searching the viewer's texts and going to a line: the search rules on
// Shift-JIS and UTF-8 lines, and the bar in the viewer on a result too
// long for one slice.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>

#include "gui_common/scripted_prompts.h"
#include "settings/app_settings.h"
#include "tests/test_support.h"
#include "text/line_search.h"
#include "viewer/find_bar.h"
#include "viewer/line_text_view.h"
#include "viewer/viewer_dialog.h"

namespace vostrel::gui {
namespace {

using test::Sjis;
using Direction = LineSearch::Direction;

TEST(LineSearch, FindsOnCharactersInBothDirectionsAndGoesRound) {
  // "ャ" is 83 61: its second byte is an "a" that no search may find.
  const std::vector<std::string> lines = {Sjis("(ャ) G01 A1"), "g01 x2", "M30", Sjis("ＡａG01")};
  struct Case {
    const char* word;
    bool matchCase;
    Direction direction;
    LineSearch::Place start;
    std::string expected;  // line:byte, "+" when it went round; "-" when not found
  };
  const Case cases[] = {
      {"a", false, Direction::Forward, {0, 0}, "0:9"},
      {"a", true, Direction::Forward, {0, 0}, "-"},
      {"G01", true, Direction::Forward, {0, 6}, "3:4"},
      {"G01", false, Direction::Forward, {0, 6}, "1:0"},
      {"G01", true, Direction::Forward, {3, 5}, "0:5+"},
      {"G01", false, Direction::Backward, {3, 4}, "1:0"},
      {"G01", false, Direction::Backward, {0, 5}, "3:4+"},
      {"M30", true, Direction::Backward, {2, 0}, "2:0+"},  // the start line's own later part, last
      {"\xff", true, Direction::Forward, {0, 0}, "-"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.word);
    LineSearch search(c.word, LineSearch::Coding::ShiftJis, c.matchCase, c.direction, lines.size(), c.start);
    // A budget of one byte: one line per call, as the slices of a long text.
    int calls = 0;
    while (search.Run([&](std::size_t i) { return std::string_view(lines[i]); }, 1) ==
               LineSearch::State::Searching && ++calls < 100) {
    }
    const std::string got = search.Current() == LineSearch::State::Found
                                ? std::to_string(search.Match().line) + ":" + std::to_string(search.Match().byte) +
                                      (search.WentRound() ? "+" : "")
                                : "-";
    EXPECT_EQ(got, c.expected);
  }
}

// A viewer with a result of `count` lines where line `marked` (0-based)
// holds "M30 (END)" and every other line a feed.
struct LongResult {
  settings::AppSettings settings;
  ScriptedPrompts prompts;
  ViewerDialog viewer{settings, prompts};
  explicit LongResult(int count, int marked) {
    std::string text;
    for (int i = 0; i < count; ++i) text += i == marked ? "M30 (END)\r\n" : "G01 X10.5 F200\r\n";
    viewer.HandOff(TextLines::FromCrLfText(std::move(text)), {"----- ﾛｸﾞ -----", "4行目 GOTOO 不明"}, "/tmp/R.NC");
    viewer.show();
    viewer.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&viewer, 2000));
  }
  LineTextView::Position Start() const { return viewer.ResultView->SelectionStart(); }
  LineTextView::Position End() const { return viewer.ResultView->SelectionEnd(); }
  void Wait() { EXPECT_TRUE(QTest::qWaitFor([&] { return !viewer.FindBar->Searching(); }, 20000)); }
};

TEST(ViewerFind, SearchesALongResultInSlicesAndGoesToALine) {
  // More lines than one slice reads, the match near the end.
  const int count = static_cast<int>(TextFindBar::kSliceBytes / 16) * 2;
  LongResult r(count, count - 10);
  TextFindBar& bar = *r.viewer.FindBar;
  QTest::keyClick(r.viewer.ResultView, Qt::Key_F, Qt::ControlModifier);
  ASSERT_TRUE(bar.isVisible());
  EXPECT_TRUE(bar.FindField->hasFocus());
  QTest::keyClicks(bar.FindField, QStringLiteral("(end"));
  EXPECT_TRUE(bar.Searching());  // the window goes on between the slices
  r.Wait();
  EXPECT_EQ(r.Start(), (LineTextView::Position{count - 10, 4}));
  EXPECT_EQ(r.viewer.ResultView->SelectedText(), QStringLiteral("(END"));
  EXPECT_GT(r.viewer.ResultView->FirstVisibleLine(), count - 100);

  bar.MatchCaseBox->setChecked(true);  // searches again: "(end" is not written so
  r.Wait();
  EXPECT_EQ(bar.Status->text(), QStringLiteral("見つかりません"));

  // Ctrl+G 12: line 12 selected; a line past the end is refused.
  QTest::keyClick(bar.FindField, Qt::Key_G, Qt::ControlModifier);
  EXPECT_TRUE(bar.LineField->hasFocus());
  bar.LineField->setText(QStringLiteral("12"));
  QTest::keyClick(bar.LineField, Qt::Key_Return);
  EXPECT_EQ(r.Start(), (LineTextView::Position{11, 0}));
  EXPECT_EQ(r.viewer.ResultView->SelectedText(), QStringLiteral("G01 X10.5 F200"));
  EXPECT_FALSE(bar.GoToLine(r.viewer.ResultView->LineCount() + 1));
  EXPECT_EQ(r.Start(), (LineTextView::Position{11, 0}));

  // From line 12, F3 finds the next "F200" on line 13, Shift+F3 the one on 11.
  bar.MatchCaseBox->setChecked(false);
  bar.FindField->setText(QStringLiteral("f200"));
  QTest::keyClick(r.viewer.ResultView, Qt::Key_F3);
  r.Wait();
  EXPECT_EQ(r.Start(), (LineTextView::Position{12, 10}));
  QTest::keyClick(r.viewer.ResultView, Qt::Key_F3, Qt::ShiftModifier);
  r.Wait();
  QTest::keyClick(r.viewer.ResultView, Qt::Key_F3, Qt::ShiftModifier);
  r.Wait();
  EXPECT_EQ(r.Start(), (LineTextView::Position{10, 10}));

  // The log tab searches the log; Esc closes the bar and leaves the viewer open.
  r.viewer.Tabs->setCurrentWidget(r.viewer.LogTab);
  bar.FindField->setText(QStringLiteral("gotoo"));
  bar.FindNext();
  r.Wait();
  EXPECT_EQ(r.viewer.LogView->SelectedText(), QStringLiteral("GOTOO"));
  QTest::keyClick(r.viewer.LogView, Qt::Key_Escape);
  EXPECT_FALSE(bar.isVisible());
  EXPECT_TRUE(r.viewer.isVisible());
  QTest::keyClick(r.viewer.LogView, Qt::Key_Escape);  // no bar: the viewer closes
  EXPECT_FALSE(r.viewer.isVisible());
}

TEST(ViewerFind, ResultHasLineNumbersByDefaultAsASetting) {
  LongResult on(20, 0);
  EXPECT_TRUE(on.viewer.ResultView->LineNumbers());
  EXPECT_GT(on.viewer.ResultView->viewport()->x(), on.viewer.ResultView->fontMetrics().horizontalAdvance("000"));
  EXPECT_FALSE(on.viewer.LogView->LineNumbers());

  settings::IniFile file;
  settings::WriteAppSettings(on.settings, file);
  EXPECT_FALSE(file.Get("View", "LineNumbers"));  // the default is not written
  on.settings.View.LineNumbers = false;
  settings::WriteAppSettings(on.settings, file);
  EXPECT_EQ(file.Get("View", "LineNumbers"), "0");
  EXPECT_FALSE(settings::ReadAppSettings(file).View.LineNumbers);
}

}  // namespace
}  // namespace vostrel::gui
