// 引数定義: #IF name ... #END blocks.

#include <gtest/gtest.h>

#include "pipeline/stages/stages.h"
#include "tests/test_support.h"

namespace vostrel {
namespace {

using test::StageHarness;

TEST(IfBlockName, FirstWordAfterTheKeyword) {
  struct Case { std::string line, name; };
  const Case cases[] = {
      {"#IF MC1", "MC1"},   {"#IFMC1", "MC1"},         {"#IF   MC1  ", "MC1"},
      {"#IF MC2 MC1", "MC2"}, {"#IFDEF A", "DEF"},      {"#IF", ""},
      {"#IF   ", ""},       {"#if MC1", ""},            {"G00 #IF OPT #END", "OPT"},
  };
  for (const auto& c : cases) EXPECT_EQ(IfBlockName(c.line), c.name) << c.line;
}

TEST(ArgumentBlocks, KeepsOrBlanksBlocks) {
  struct Case { TextLines before, after; };
  const Case cases[] = {
      {{"#IF MC1", "G00 X0", "#END"}, {"", "G00 X0", ""}},
      {{"#IF MC2", "G00 X0", "#END"}, {"", "", ""}},
      {{"#IFMC1", "A", "#END"}, {"", "A", ""}},
      {{"#IF   MC1  ", "A", "#END"}, {"", "A", ""}},
      {{"#IF mc1", "A", "#END"}, {"", "", ""}},          // names match case-sensitively
      {{"#if MC1", "A", "#END"}, {"#if MC1", "A", "#END"}},  // not an #IF line
      {{"#IF MC2 MC1", "A", "#END"}, {"", "", ""}},      // only the first name counts
      {{"#IF", "A", "#END"}, {"#IF", "A", "#END"}},      // no name: nothing happens
      {{"#IF MC2 #END", "A"}, {"", "A"}},                // disabled, ends on its own line
      {{"#IF MC1 #END", "A", "#END", "B"}, {"", "A", "", "B"}},  // enabled: end searched below
      {{"#IFDEF A", "X", "#ENDIF"}, {"", "", ""}},
      // Blocks do not nest: the inner #END closes the outer block.
      {{"#IF OPT", "#IF MC2", "A", "#END", "B", "#END"}, {"", "#IF MC2", "A", "", "B", "#END"}},
      {{"#IF MC2", "#IF MC1", "A", "#END", "B", "#END"}, {"", "", "", "", "B", "#END"}},
      {{"A", "#IF MC1", "B", "#END", "#IF X", "C", "#END", "D"}, {"A", "", "B", "", "", "", "", "D"}},
  };
  for (const auto& c : cases) {
    StageHarness h(c.before);
    h.run.RunArguments[0] = "MC1";
    h.run.RunArguments[1] = "OPT";
    EXPECT_EQ(RunArgumentBlocks(h.run, h.frame), StageEnd::Continue);
    EXPECT_EQ(h.run.WorkLines, c.after) << c.before[0];
  }
}

TEST(ArgumentBlocks, WithoutWordsEveryNamedBlockGoes) {
  StageHarness h({"#IF MC1", "A", "#END", "B"});
  RunArgumentBlocks(h.run, h.frame);
  EXPECT_EQ(h.run.WorkLines, (TextLines{"", "", "", "B"}));
}

TEST(ArgumentBlocks, WordInTheTenthSlot) {
  StageHarness h({"#IF LAST", "A", "#END"});
  h.run.RunArguments[9] = "LAST";
  RunArgumentBlocks(h.run, h.frame);
  EXPECT_EQ(h.run.WorkLines, (TextLines{"", "A", ""}));
}

TEST(ArgumentBlocks, MissingEndIsLogged) {
  struct Case { TextLines before, after; };
  const Case cases[] = {
      {{"G00", "#IF MC2", "A", "#IF MC1", "B"}, {"G00", "", "", "", ""}},
      {{"G00", "#IF MC1", "A", "#IF MC2", "B"}, {"G00", "", "A", "#IF MC2", "B"}},
  };
  for (const auto& c : cases) {
    StageHarness h(c.before);
    h.run.RunArguments[0] = "MC1";
    RunArgumentBlocks(h.run, h.frame);
    EXPECT_EQ(h.run.WorkLines, c.after);
    EXPECT_EQ(h.run.RunLog, (std::vector<std::string>{"引数定義 -- 開始",
                                                      "2行目 #IF に対応する #END が有りません。",
                                                      "引数定義 -- 完了", ""}));
  }
}

TEST(ArgumentBlocks, NoBlocksLogsNothingToDo) {
  StageHarness h({"G00 X0", "#END"});
  RunArgumentBlocks(h.run, h.frame);
  EXPECT_EQ(h.run.WorkLines, (TextLines{"G00 X0", "#END"}));
  EXPECT_EQ(h.run.RunLog,
            (std::vector<std::string>{"引数定義 -- 開始", "引数定義 -- 無し", "引数定義 -- 完了", ""}));
}

}  // namespace
}  // namespace vostrel
