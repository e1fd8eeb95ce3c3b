// 括弧ﾁｪｯｸ.

#include <gtest/gtest.h>

#include "pipeline/stages/stages.h"
#include "tests/test_support.h"

namespace vostrel {
namespace {

using test::Sjis;
using test::StageHarness;

TEST(BracketCheck, ReportsUnbalancedLines) {
  struct Case { std::string line; std::vector<std::string> messages; };
  const Case cases[] = {
      {"#1=[#2+[#3*2]", {"7行目 []の数が合いません。"}},
      {")(", {}},
      {"][", {}},
      {"IF[#1EQ#2]GOTO10 (OK)", {}},
      {"[(", {"7行目 []の数が合いません。", "7行目 ()の数が合いません。"}},
      {"G01 X10 (NOTE", {"7行目 ()の数が合いません。"}},
      // ー (0x81 0x5B) counts as "[", ‐ (0x81 0x5D) as "]".
      {Sjis("(データー)"), {"7行目 []の数が合いません。"}},
      {Sjis("(ー‐)"), {}},
      {Sjis("[切削]"), {}},
  };
  for (const auto& c : cases) {
    StageHarness h({"", "", "", "", "", "", c.line});
    EXPECT_EQ(RunBracketCheck(h.run, h.frame), StageEnd::Continue);
    std::vector<std::string> expected{"括弧ﾁｪｯｸ -- 開始"};
    expected.insert(expected.end(), c.messages.begin(), c.messages.end());
    expected.push_back("括弧ﾁｪｯｸ -- 完了");
    expected.push_back("括弧ｴﾗｰ数 = " + std::to_string(c.messages.size()) + "件");
    expected.push_back("");
    EXPECT_EQ(h.run.RunLog, expected) << c.line;
    EXPECT_EQ(h.run.BracketErrorCount, static_cast<int>(c.messages.size()));
  }
}

TEST(BracketCheck, CountsOverTheWholeProgram) {
  StageHarness h({"[", "G00", "(", "[]", "]]"});
  RunBracketCheck(h.run, h.frame);
  EXPECT_EQ(h.run.RunLog, (std::vector<std::string>{
                              "括弧ﾁｪｯｸ -- 開始", "1行目 []の数が合いません。",
                              "3行目 ()の数が合いません。", "5行目 []の数が合いません。",
                              "括弧ﾁｪｯｸ -- 完了", "括弧ｴﾗｰ数 = 3件", ""}));
}

TEST(BracketCheck, NoBracketsAtAll) {
  StageHarness h({"G00 X0", "M30"});
  RunBracketCheck(h.run, h.frame);
  EXPECT_EQ(h.run.RunLog, (std::vector<std::string>{"括弧ﾁｪｯｸ -- 開始", "括弧ﾁｪｯｸ -- 無し",
                                                    "括弧ﾁｪｯｸ -- 完了", "括弧ｴﾗｰ数 = 0件", ""}));
}

}  // namespace
}  // namespace vostrel
