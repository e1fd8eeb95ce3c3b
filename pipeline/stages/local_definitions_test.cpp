// Reading definitions from the source.

#include <gtest/gtest.h>

#include "pipeline/stages/stages.h"
#include "tests/test_support.h"

namespace vostrel {
namespace {

using test::StageHarness;
using Log = std::vector<std::string>;

struct Row {
  std::string name, value;
  int scope;
};

std::vector<Row> Rows(const CompileRun& run) {
  std::vector<Row> rows;
  for (const auto& d : run.DefinitionTable) {
    EXPECT_EQ(d.NameLength, static_cast<int>(d.Name.size())) << d.Name;
    rows.push_back({d.Name, d.Value, d.ScopeStartLine});
  }
  return rows;
}

bool operator==(const Row& a, const Row& b) {
  return a.name == b.name && a.value == b.value && a.scope == b.scope;
}
void PrintTo(const Row& r, std::ostream* os) { *os << r.name << "/" << r.value << "/" << r.scope; }

TEST(LocalDefinitions, StoresRowsAndEmptiesDefinitionLines) {
  StageHarness h({"%", "G00 X0 $ORG 100", "$PITCH 1.5", "G01 X10.", "$AB $Q 2", "$PITCH",
                  "$ XC  #101 + 2 ", "$", "$a #500", "M30"});
  h.run.MaxNameLength = 99;  // left from an earlier run
  h.run.DefinitionTable.push_back({"OLD", "1", 3, 1, {}, 0, 0});
  EXPECT_EQ(RunLocalDefinitions(h.run, h.frame), StageEnd::Continue);
  EXPECT_EQ(Rows(h.run), (std::vector<Row>{{"ORG", "100", 3},
                                           {"PITCH", "1.5", 4},
                                           {"AB", "$Q 2", 6},
                                           {"XC", "#101 + 2", 8},
                                           {"a", "$#500$", 10}}));
  EXPECT_EQ(h.run.DefinitionCount, 5);
  EXPECT_EQ(h.run.MaxNameLength, 5);
  EXPECT_EQ(h.run.WorkLines, (TextLines{"%", "", "", "G01 X10.", "", "", "", "$", "", "M30"}));
  EXPECT_EQ(h.run.RunLog, (Log{"定義ﾃﾞｰﾀ読み込みと削除 -- 開始", "定義ﾃﾞｰﾀ読み込みと削除 -- 完了",
                               "定義ﾃﾞｰﾀ数 = 5個", ""}));
}

TEST(LocalDefinitions, NoStartCharacterAnywhere) {
  struct Case {
    std::string startChar;
    TextLines lines;
  };
  // An empty start character matches nothing, so "$AB 1" stays.
  const Case cases[] = {{"$", {"G00 X0", "M30"}}, {"", {"G00 X0", "$AB 1"}}};
  for (const auto& c : cases) {
    StageHarness h(c.lines);
    h.options.StartChar = c.startChar;
    RunLocalDefinitions(h.run, h.frame);
    EXPECT_EQ(h.run.DefinitionCount, 0);
    EXPECT_EQ(h.run.WorkLines, c.lines);
    EXPECT_EQ(h.run.RunLog, (Log{"定義ﾃﾞｰﾀ読み込みと削除 -- 開始", "定義ﾃﾞｰﾀ読み込みと削除 -- 無し",
                                 "定義ﾃﾞｰﾀ読み込みと削除 -- 完了", "定義ﾃﾞｰﾀ数 = 0個", ""}));
  }
}

TEST(LocalDefinitions, OnlyALoneStartCharacterIsNotNothing) {
  // The text holds the start character, so no "-- 無し" line, but nothing is stored.
  StageHarness h({"$", "G00"});
  RunLocalDefinitions(h.run, h.frame);
  EXPECT_EQ(h.run.WorkLines, (TextLines{"$", "G00"}));
  EXPECT_EQ(h.run.RunLog, (Log{"定義ﾃﾞｰﾀ読み込みと削除 -- 開始", "定義ﾃﾞｰﾀ読み込みと削除 -- 完了",
                               "定義ﾃﾞｰﾀ数 = 0個", ""}));
}

// A start character made only of bytes the line summaries do not record:
// lines whose summary is empty are read too.
TEST(LocalDefinitions, StartCharacterTheSummaryCannotDescribe) {
  struct Case {
    std::string startChar;
    TextLines lines, after;
  };
  const Case cases[] = {
      {"G", {"G0", "M30"}, {"", "M30"}},
      {"&", {"X1.&", "M30"}, {"", "M30"}},
      {"\\", {"M30", "1\\"}, {"M30", ""}},
      {"X", {"X1", "M30"}, {"", "M30"}},
      {"0", {"10", "M3"}, {"", "M3"}},
  };
  for (const auto& c : cases) {
    StageHarness h(c.lines);
    h.options.StartChar = c.startChar;
    RunLocalDefinitions(h.run, h.frame);
    EXPECT_EQ(h.run.WorkLines, c.after) << c.startChar;
    EXPECT_EQ(h.run.RunLog, (Log{"定義ﾃﾞｰﾀ読み込みと削除 -- 開始", "定義ﾃﾞｰﾀ読み込みと削除 -- 完了",
                                 "定義ﾃﾞｰﾀ数 = 0個", ""}))
        << c.startChar;
  }
}

TEST(LocalDefinitions, LongerStartCharacterAndSameNameTwice) {
  StageHarness h({"DEF:AB 1", "G00 $X", "DEF:AB 2", "def:CD 3"});
  h.options.StartChar = "DEF:";
  RunLocalDefinitions(h.run, h.frame);
  EXPECT_EQ(Rows(h.run), (std::vector<Row>{{"AB", "1", 2}, {"AB", "2", 4}}));
  EXPECT_EQ(h.run.WorkLines, (TextLines{"", "G00 $X", "", "def:CD 3"}));
}

}  // namespace
}  // namespace vostrel
