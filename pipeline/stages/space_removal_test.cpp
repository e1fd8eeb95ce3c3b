// ｽﾍﾟｰｽ削除.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "pipeline/stages/stages.h"
#include "tests/test_support.h"

namespace vostrel {
namespace {

using test::Sjis;
using test::StageHarness;

TEST(SpaceRemoval, LineMode) {
  struct Case { std::string line, expected; };
  const Case cases[] = {
      {"  G01 X10. Y20. (MOVE TO A)", "G01X10.Y20.(MOVE TO A)"},
      {"#1 = $#100$ + 1", "#1=#100+1"},
      {"A (B C) D (E F", "A(B C)D(EF"},
      {"(NOTE $1)", "(NOTE $1)"},
      {"A B) C (D E", "A B)C(DE"},        // ")" without "(" protects what is before it
      {"\t X Y \r", "XY"},                // trimmed of bytes up to 32 at both ends
      {"   ", ""},
      {"( A ( B ) C )", "(A( B ) C )"},  // pairs are not matched
      {Sjis("X1 (切削 $ ー) Y2"), Sjis("X1(切削 $ ー)Y2")},
      {"\x83\x20X", "\x83X"},             // a space after a lone lead byte is a space
  };
  for (const auto& c : cases) {
    std::string line = c.line;
    RemoveSpacesOnLine(line);
    EXPECT_EQ(line, c.expected) << c.line;
  }
}

// Random lines of every length around the 16-byte blocks the removal
// packs, with runs of spaces and "$" of every length.
TEST(SpaceRemoval, RandomLinesWithoutRemarks) {
  std::mt19937 random(3);
  const std::string bytes = "  $$ $XY0.\x81\x40\t#";
  for (int round = 0; round < 20000; ++round) {
    std::string line;
    for (std::size_t length = random() % 70; length > 0; --length) line += bytes[random() % bytes.size()];
    std::string expected = line;
    while (!expected.empty() && static_cast<unsigned char>(expected.back()) <= 32) expected.pop_back();
    const std::size_t begin = expected.find_first_not_of(std::string("\t ", 2));
    expected = begin == std::string::npos ? "" : expected.substr(begin);
    std::erase_if(expected, [](char c) { return c == ' ' || c == '$'; });
    RemoveSpacesOnLine(line);
    ASSERT_EQ(line, expected) << round;
  }
}

// Lines longer than the piece the removal works in, with and without "(".
TEST(SpaceRemoval, LongLines) {
  for (const std::size_t length : {255u, 256u, 257u, 1000u}) {
    for (const char* tail : {"", " (A B)"}) {
      std::string line, expected;
      for (std::size_t i = 0; i < length; ++i) line += "X $"[i % 3];
      for (const char c : line)
        if (c != ' ' && c != '$') expected += c;
      StageHarness h({line + tail});
      RunSpaceRemoval(h.run, h.frame);
      EXPECT_EQ(h.run.WorkLines[0], expected + (*tail ? "(A B)" : "")) << length << tail;
    }
  }
}

TEST(SpaceRemoval, ModeFollowsTheWholeText) {
  struct Case { TextLines before, after; };
  const Case cases[] = {
      // No "(" anywhere: spaces and "$" go, lines are not trimmed.
      {{"G00 X0 Y0", "X$#5$", "\tA "}, {"G00X0Y0", "X#5", "\tA"}},
      // The only "(" on the last line: every line is in line mode.
      {{"\tA ", "X$#5$ ", "(B C)"}, {"A", "X#5", "(B C)"}},
      {{" ", "G 0"}, {"", "G0"}},
      // The whole text " " sets back as no lines at all.
      {{" "}, {}},
      {{"$ $"}, {}},
  };
  for (const auto& c : cases) {
    StageHarness h(c.before);
    EXPECT_EQ(RunSpaceRemoval(h.run, h.frame), StageEnd::Continue);
    EXPECT_EQ(h.run.WorkLines, c.after) << c.before[0];
    EXPECT_EQ(h.run.RunLog, (std::vector<std::string>{"ｽﾍﾟｰｽ削除 -- 開始", "ｽﾍﾟｰｽ削除 -- 完了", ""}));
  }
}

TEST(SpaceRemoval, WholeTextModeSplitsLikeTheSetBack) {
  // A lone CR at the end of a line stays where it was.
  StageHarness h({"A \r", " B", "C\r $"});
  RunSpaceRemoval(h.run, h.frame);
  EXPECT_EQ(h.run.WorkLines, (TextLines{"A\r", "B", "C\r"}));
}

}  // namespace
}  // namespace vostrel
