// Page layout of a printout: page area, body lines per page, page count,
// the slots of headers, body lines and page number, line numbering.

#include <gtest/gtest.h>

#include "viewer/print_layout.h"

namespace vostrel::gui {
namespace {

// A4 at 600 dpi, printable to the paper's edges.
PrinterFacts A4(int lineHeight = 123) {
  PrinterFacts f;
  f.dpiX = f.dpiY = 600;
  f.physW = f.resW = 4960;
  f.physH = f.resH = 7016;
  f.lineHeight = lineHeight;
  return f;
}

QStringList Lines(int n) {
  QStringList lines;
  for (int i = 1; i <= n; ++i) lines << QStringLiteral("G01 X%1").arg(i);
  return lines;
}

const PrintJobTexts kTexts{QStringLiteral("/nc/PART1.NC"), QStringLiteral("PART1.NC"),
                           QStringLiteral("2024/05/06 7:08:09"), 700};

TEST(PrintLayout, PageAreaFollowsMarginsAndPrintableArea) {
  struct Case {
    const char* name;
    PrinterFacts facts;
    PrintOptions options;
    PageArea expected;
  };
  PrinterFacts offset = A4();
  offset.offX = 100;
  offset.offY = 120;
  offset.resW = 4760;  // 100 unprintable pixels at the right
  offset.resH = 6776;  // 120 at the bottom
  PrinterFacts wideOffset = A4();
  wideOffset.offX = 400;
  wideOffset.offY = 300;
  wideOffset.resW = 4960 - 400;
  wideOffset.resH = 7016 - 300;
  PrinterFacts small = A4();
  small.physW = small.resW = 1000;
  small.physH = small.resH = 1200;
  PrintOptions huge;
  huge.RightMargin = huge.BottomMargin = 99;
  const Case cases[] = {
      // 15 mm = 354.33 px, 10 mm = 236.22 px.
      {"defaults, no offsets", A4(), PrintOptions{}, {354, 236, 4960 - 236, 7016 - 236}},
      {"offsets and unprintable edges", offset, PrintOptions{}, {254, 116, 4624, 6660}},
      {"offset beyond the margin", wideOffset, PrintOptions{}, {0, 0, 4324, 6480}},
      {"right and bottom before the printable start", small, huge, {354, 236, 1000, 1200}},
  };
  for (const Case& c : cases) {
    const PageArea area = ComputePageArea(c.facts, c.options);
    EXPECT_EQ(area.left, c.expected.left) << c.name;
    EXPECT_EQ(area.top, c.expected.top) << c.name;
    EXPECT_EQ(area.right, c.expected.right) << c.name;
    EXPECT_EQ(area.bottom, c.expected.bottom) << c.name;
  }
}

TEST(PrintLayout, BodyLinesPerPageLeaveRoomForHeadersAndPageNumber) {
  // (6780 - 236) / 123 = 53 slots.
  struct Case {
    bool fullPath, fileName, page;
    int expected;
  };
  for (const Case& c : {Case{true, false, true, 50}, Case{false, true, true, 50}, Case{true, true, true, 48},
                        Case{false, false, false, 53}, Case{false, false, true, 52}}) {
    PrintOptions options;
    options.FullPath = c.fullPath;
    options.FileName = c.fileName;
    options.Page = c.page;
    EXPECT_EQ(LinesPerPage(A4(), options), c.expected) << c.fullPath << c.fileName << c.page;
  }
  // Not even one body line: the caller must not divide by it.
  EXPECT_LE(LinesPerPage(A4(6544 / 3), PrintOptions{}), 0);
  PrintOptions margins;
  margins.TopMargin = margins.BottomMargin = 99;
  PrinterFacts small = A4();
  small.physH = small.resH = 4000;
  EXPECT_LE(LinesPerPage(small, margins), 0);
  EXPECT_EQ(LayoutPages(Lines(3), small, margins, kTexts).size(), 0u);
}

TEST(PrintLayout, PageCountRoundsUp) {
  EXPECT_EQ(PageCount(120, 50), 3);
  EXPECT_EQ(PageCount(100, 50), 2);
  EXPECT_EQ(PageCount(1, 50), 1);
  EXPECT_EQ(PageCount(0, 50), 0);
  EXPECT_EQ(PageCount(10, 0), 0);
  EXPECT_EQ(PageCount(10, -2), 0);
}

TEST(PrintLayout, DefaultSettingsPlaceHeaderBodyAndPageNumberInTheirSlots) {
  const auto pages = LayoutPages(Lines(120), A4(), PrintOptions{}, kTexts);
  ASSERT_EQ(pages.size(), 3u);
  const int left = 354, top = 236, right = 4724, lh = 123;
  const int pageNumberY = top + 52 * lh;

  const PrintPage& first = pages[0];
  ASSERT_EQ(first.size(), 2u + 50u + 1u);
  EXPECT_EQ(first[0], (PrintItem{left, top, QStringLiteral("/nc/PART1.NC")}));
  EXPECT_EQ(first[1], (PrintItem{right - 700, top + lh, QStringLiteral("2024/05/06 7:08:09")}));
  EXPECT_EQ(first[2], (PrintItem{left, top + 2 * lh, QStringLiteral("0001: G01 X1")}));
  EXPECT_EQ(first[51], (PrintItem{left, top + 51 * lh, QStringLiteral("0050: G01 X50")}));
  EXPECT_EQ(first[52], (PrintItem{left + (right - left) / 2, pageNumberY, QStringLiteral("- 1 -")}));

  EXPECT_EQ(pages[1][2].text, QStringLiteral("0051: G01 X51"));
  EXPECT_EQ(pages[1].back().text, QStringLiteral("- 2 -"));

  // The last page: 20 lines, 30 empty slots, the page number where it
  // stands on every page.
  const PrintPage& last = pages[2];
  ASSERT_EQ(last.size(), 2u + 20u + 1u);
  EXPECT_EQ(last[0].text, QStringLiteral("/nc/PART1.NC"));
  EXPECT_EQ(last[2].text, QStringLiteral("0101: G01 X101"));
  EXPECT_EQ(last[21], (PrintItem{left, top + 21 * lh, QStringLiteral("0120: G01 X120")}));
  EXPECT_EQ(last[22], (PrintItem{left + (right - left) / 2, pageNumberY, QStringLiteral("- 3 -")}));
}

TEST(PrintLayout, SwitchesChangeWhatIsDrawn) {
  PrintOptions plain;
  plain.FullPath = false;
  plain.Page = false;
  plain.LineNo = false;
  auto pages = LayoutPages(Lines(2), A4(), plain, kTexts);
  ASSERT_EQ(pages.size(), 1u);
  ASSERT_EQ(pages[0].size(), 2u);
  EXPECT_EQ(pages[0][0], (PrintItem{354, 236, QStringLiteral("G01 X1")}));
  EXPECT_EQ(pages[0][1], (PrintItem{354, 236 + 123, QStringLiteral("G01 X2")}));

  PrintOptions name;
  name.FullPath = false;
  name.FileName = true;
  pages = LayoutPages(Lines(1), A4(), name, kTexts);
  ASSERT_EQ(pages[0].size(), 4u);
  EXPECT_EQ(pages[0][0].text, QStringLiteral("PART1.NC"));
  EXPECT_EQ(pages[0][1].text, kTexts.dateTime);
  EXPECT_EQ(pages[0][2].y, 236 + 2 * 123);

  // Both headers (possible only by editing the settings file): full path first.
  PrintOptions both;
  both.FileName = true;
  pages = LayoutPages(Lines(1), A4(), both, kTexts);
  ASSERT_EQ(pages[0].size(), 6u);
  EXPECT_EQ(pages[0][2].text, QStringLiteral("PART1.NC"));
  EXPECT_EQ(pages[0][4], (PrintItem{354, 236 + 4 * 123, QStringLiteral("0001: G01 X1")}));
  EXPECT_EQ(pages[0][5].y, 236 + 52 * 123);
}

TEST(PrintLayout, LineNumbersWrapAfter9999) {
  EXPECT_EQ(LineNumberPrefix(1), QStringLiteral("0001: "));
  EXPECT_EQ(LineNumberPrefix(9999), QStringLiteral("9999: "));
  EXPECT_EQ(LineNumberPrefix(10000), QStringLiteral("0000: "));
  EXPECT_EQ(LineNumberPrefix(10001), QStringLiteral("0001: "));
  EXPECT_EQ(LineNumberPrefix(123456), QStringLiteral("3456: "));

  const auto pages = LayoutPages(Lines(10001), A4(), PrintOptions{}, kTexts);
  ASSERT_EQ(pages.size(), 201u);
  EXPECT_EQ(pages[199][2 + 49].text, QStringLiteral("0000: G01 X10000"));
  EXPECT_EQ(pages[200][2].text, QStringLiteral("0001: G01 X10001"));
}

TEST(PrintLayout, PrintTextSplitsAtEveryLineBreak) {
  struct Case {
    const char* text;
    QStringList expected;
  };
  const Case cases[] = {
      {"", {}},
      {"G00", {"G00"}},
      {"G00\r\nG01\r\n", {"G00", "G01"}},
      {"G00\rG01\nG02", {"G00", "G01", "G02"}},
      {"G00\n\nG01", {"G00", "", "G01"}},
      {"\n", {""}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitPrintText(QString::fromUtf8(c.text)), c.expected) << c.text;
}

}  // namespace
}  // namespace vostrel::gui
