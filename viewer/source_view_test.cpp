// The source view: numbered lines, and a file that changed on disk read
// again at the next place or when the view becomes active.

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include <filesystem>

#include "tests/test_support.h"
#include "viewer/line_text_view.h"
#include "viewer/source_view.h"

namespace vostrel::gui {
namespace {

namespace fs = std::filesystem;

TEST(SourceView, AFileChangedOnDiskIsReadAgainAndTheViewSaysSo) {
  test::TempDir dir;
  const fs::path file = dir / "A.NC";
  std::string source;
  for (int i = 1; i <= 10; ++i) source += "G0" + std::to_string(i) + "\r\n";
  test::WriteFile(file, source);
  SourceView view;
  Finding place = test::FindingAt(file.string(), 2, 1);
  ASSERT_TRUE(view.ShowPlace(place));
  EXPECT_EQ(view.SourceText->LineCount(), 10);
  EXPECT_TRUE(view.SourceText->LineNumbers());
  EXPECT_EQ(view.SourceText->LineText(1), "G02");
  EXPECT_FALSE(view.ReloadIfChanged());
  EXPECT_FALSE(view.PlaceLabel->text().contains(QStringLiteral("読み直しました")));

  // Same size, another time of change: still a change.
  test::WriteFile(file, "X01\r\nX02\r\nX03\r\n" + source.substr(15));
  fs::last_write_time(file, fs::last_write_time(file) + std::chrono::seconds(2));
  place.line = 3;
  ASSERT_TRUE(view.ShowPlace(place));
  EXPECT_EQ(view.SourceText->LineText(2), "X03");
  EXPECT_TRUE(view.PlaceLabel->text().contains(QStringLiteral("読み直しました")));

  test::WriteFile(file, "Y01\r\n");
  fs::last_write_time(file, fs::last_write_time(file) + std::chrono::seconds(4));
  EXPECT_TRUE(view.ReloadIfChanged());
  EXPECT_EQ(view.SourceText->LineCount(), 1);
  EXPECT_EQ(view.SourceText->LineText(0), "Y01");
}

// The guide opened by the help menu describes the view by its captions.
TEST(SourceView, GuideNamesTheViewAndItsButtons) {
  const QString guide = QString::fromStdString(test::ReadFile(VOSTREL_GUIDE));
  SourceView view;
  for (const QString& caption : {view.windowTitle(), view.EditorButton->text(), view.EditorSetupButton->text(),
                                 QStringLiteral("F4"), QStringLiteral("Shift+F4"), QStringLiteral("エラー 2件　警告 0件"),
                                 QStringLiteral("読み直しました")})
    EXPECT_TRUE(guide.contains(caption)) << caption.toStdString();
}

}  // namespace
}  // namespace vostrel::gui
