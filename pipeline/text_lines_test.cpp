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

}  // namespace
}  // namespace vostrel
