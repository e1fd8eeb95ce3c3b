// 小文字から大文字変換.

#include <gtest/gtest.h>

#include "pipeline/stages/stages.h"
#include "text/sjis.h"
#include "tests/test_support.h"

namespace vostrel {
namespace {

using test::Sjis;
using test::StageHarness;

TEST(UpperCase, AsciiLettersOnly) {
  // ヂ (0x83 0x61) and ベ (0x83 0x78) have trail bytes in a-z; ａ is a
  // full-width letter; ｱ is half-width katakana.
  StageHarness h({"g01 x10.5 f200", Sjis("(ヂベａｱ abc)"), "", "#1=[#2*3]"});
  EXPECT_EQ(RunUpperCase(h.run, h.frame), StageEnd::Continue);
  EXPECT_EQ(h.run.WorkLines, (TextLines{"G01 X10.5 F200", Sjis("(ヂベａｱ ABC)"), "", "#1=[#2*3]"}));
  EXPECT_EQ(h.run.RunLog, (std::vector<std::string>{"小文字から大文字変換 -- 開始",
                                                    "小文字から大文字変換 -- 完了", ""}));
}

TEST(UpperCase, SameAsTheWholeTextSetBack) {
  // A lead byte at the end of a line, a lone CR inside a line, empty lines.
  const std::vector<TextLines> cases = {
      {"ab\x83", "cd"}, {"a\rb", "\r"}, {"", "x", ""}, {""}, {}, {"\x83", "a"}};
  for (const auto& lines : cases) {
    StageHarness h(lines);
    RunUpperCase(h.run, h.frame);
    std::string whole = JoinLines(lines);
    sjis::UpperCaseInPlace(whole);
    EXPECT_EQ(h.run.WorkLines, SplitAtCrLf(whole));
  }
}

}  // namespace
}  // namespace vostrel
