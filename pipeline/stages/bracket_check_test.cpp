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
      // Past the first sixteen bytes, and across them.
      {"G01 X10 Y20 Z30 F100 (NOTE", {"7行目 ()の数が合いません。"}},
      {"[[[[[[[[]]]]]]]]]", {"7行目 []の数が合いません。"}},
      // Brackets are characters: the second bytes 5B of ー (81 5B) and ゼ
      // (83 5B) and 5D of ゾ (83 5D) are none.
      {Sjis("(データー)"), {}},
      {Sjis("O1 (ゼロ点 センター カッター)"), {}},
      {Sjis("(ゾーン)"), {}},
      {Sjis("[ゾ"), {"7行目 []の数が合いません。"}},
      {Sjis("ー]"), {"7行目 []の数が合いません。"}},
      {Sjis("[切削]"), {}},
      // メ is 83 81: its second byte is a lead byte's value, yet the "["
      // after it starts a character of its own.
      {Sjis("(メ[)"), {"7行目 []の数が合いません。"}},
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
  // Bytes 5B and 5D only as second bytes are no brackets either.
  for (const TextLines& lines : {TextLines{"G00 X0", "M30"}, TextLines{Sjis("G00 ゼロ"), Sjis("ゾーン")}}) {
    StageHarness h(lines);
    RunBracketCheck(h.run, h.frame);
    EXPECT_EQ(h.run.RunLog, (std::vector<std::string>{"括弧ﾁｪｯｸ -- 開始", "括弧ﾁｪｯｸ -- 無し",
                                                      "括弧ﾁｪｯｸ -- 完了", "括弧ｴﾗｰ数 = 0件", ""}));
  }
}

}  // namespace
}  // namespace vostrel
