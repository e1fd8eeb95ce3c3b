#include "pipeline/text_lines.h"

#include <gtest/gtest.h>

namespace vostrel {
namespace {

TEST(TextLines, SourceSplit) {
  struct Case { std::string text; TextLines lines; };
  const Case cases[] = {
      {"", {}},
      {"A", {"A"}},
      {"A\r\nB\r\n", {"A", "B"}},
      {"A\nB\n", {"A", "B"}},
      {"A\nB", {"A", "B"}},
      {"A\rB\r\n", {"A\rB"}},         // a lone CR stays inside its line
      {"A\r", {"A\r"}},
      {"\r\n", {""}},
      {"\n\n", {"", ""}},
      {"A\r\n\r\nB", {"A", "", "B"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitSourceText(c.text), c.lines) << c.text;
}

TEST(TextLines, JoinAndSplitAreInverse) {
  const TextLines samples[] = {{}, {""}, {"", ""}, {"A"}, {"A", "", "B"}, {"A\r", "\nB"}, {"A\n"}};
  for (const auto& lines : samples) {
    const std::string text = JoinLines(lines);
    // Only the empty text is no lines: one empty line joins to "" as well.
    if (lines == TextLines{""}) {
      EXPECT_TRUE(SplitAtCrLf(text).empty());
      continue;
    }
    EXPECT_EQ(SplitAtCrLf(text), lines) << text;
  }
  EXPECT_EQ(SplitAtCrLf("A\r\n"), (TextLines{"A", ""}));
}

TEST(TextLines, OutputEndsEveryLine) {
  EXPECT_EQ(OutputBytes({}), "");
  EXPECT_EQ(OutputBytes({"A", "B"}), "A\r\nB\r\n");
  EXPECT_EQ(OutputBytes({""}), "\r\n");
}

// Lines rewritten in place, moved to new room, narrowed and moved in the
// index keep every other line as it was, and a copy or a compaction keeps
// them all; the summary follows each rewrite.
TEST(TextLines, EditsKeepTheOtherLines) {
  TextLines lines = SplitSourceText("G00 X1\r\nG01;c\r\n\r\nM30\n");
  lines.assign(1, lines[1].substr(0, 3));      // shorter: its own bytes, in place
  lines.assign(2, "#1=0X1F (grown)");          // longer: new room
  lines.assign(0, lines[2]);                   // from another line
  lines.narrow(3, 1, 2);
  EXPECT_EQ(lines, (TextLines{"#1=0X1F (grown)", "G01", "#1=0X1F (grown)", "30"}));
  EXPECT_EQ(lines.summary(0), Summarise(lines[0]));
  EXPECT_EQ(lines.text_bytes(), 15u + 3 + 15 + 2);

  lines.move_line(3, 1);
  lines.erase_front(2);
  EXPECT_EQ(lines, (TextLines{"#1=0X1F (grown)", "G01"}));
  const TextLines copy = lines;
  for (int i = 0; i < 300; ++i) lines.assign(1, std::string(static_cast<std::size_t>(i) * 997, 'X'));
  lines.compact_if_wasteful();
  EXPECT_LT(lines.held_bytes(), 2 * lines.text_bytes());
  EXPECT_EQ(lines[0], copy[0]);
  EXPECT_EQ(lines[1], std::string(299 * 997, 'X'));
}

// A compaction of a large text gives the old blocks back as their lines
// move: the lines stay as they were, whether the source's lines still lie
// in it in order or one was moved out of order.
TEST(TextLines, CompactionOfALargeTextKeepsEveryLine) {
  for (const bool moved : {false, true}) {
    std::string source;
    for (int n = 0; n < 700000; ++n) source += "N" + std::to_string(n) + std::string(90, 'X') + "\r\n";
    TextLines lines = TextLines::FromSource(std::move(source));
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (i % 10 == 3) lines.assign(i, std::string(lines[i]) + "+GROWN");
      else if (i % 10 != 0) lines.narrow(i, 0, 3);
    }
    if (moved) lines.move_line(5, 600000);
    const TextLines before = lines;
    const std::size_t held = lines.held_bytes();
    lines.compact_if_wasteful();
    EXPECT_LT(lines.held_bytes(), held / 2) << moved;
    EXPECT_TRUE(lines == before) << moved;
  }
  // A source short enough to lie inside its string stays where it was
  // while blocks are added.
  TextLines lines = TextLines::FromSource("A\nB");
  for (int i = 0; i < 40; ++i) lines.assign(0, std::string(std::size_t{1} << 20, 'X'));
  EXPECT_EQ(lines[1], "B");
}

// Lines of 255 bytes or more keep their length aside: it follows them
// through every edit, move, erasure at the front and compaction.
TEST(TextLines, LongLinesKeepTheirLength) {
  const std::string longA(255, 'A'), longB(70000, 'B'), longC(300, 'C');
  TextLines lines = SplitSourceText("short\n" + longA + "\nS\n" + longC + "\nT");
  lines.assign(2, longB);            // short to long
  lines.assign(3, "c");              // long to short, in place
  lines.move_line(4, 1);             // a long line over a short one
  lines.move_line(0, 3);             // a short line over a short one
  EXPECT_EQ(lines, (TextLines{"c", "", longB, "", longA}));
  lines.move_line(2, 0);             // a short line over a long one
  lines.narrow(4, 1, 254);           // long to short by narrowing
  EXPECT_EQ(lines, (TextLines{"", "", "c", "", longA.substr(1)}));
  lines.assign(0, longC);
  lines.assign(3, longB);
  lines.erase_front(1);
  EXPECT_EQ(lines, (TextLines{"", "c", longB, longA.substr(1)}));
  for (std::size_t i = 0; i < 400; ++i) lines.assign(0, std::string(300 + i * 997, 'W'));
  lines.compact_if_wasteful();
  EXPECT_LT(lines.held_bytes(), 2 * lines.text_bytes());
  EXPECT_EQ(lines, (TextLines{std::string(300 + 399 * 997, 'W'), "c", longB, longA.substr(1)}));
  EXPECT_EQ(lines.text_bytes(), 300 + 399 * 997 + 1 + 70000 + 254);
}

}  // namespace
}  // namespace vostrel
