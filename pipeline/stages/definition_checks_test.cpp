// Checks of the definition table before replacement.

#include <gtest/gtest.h>

#include <random>

#include "pipeline/stages/stages.h"
#include "tests/test_support.h"

namespace vostrel {
namespace {

using test::StageHarness;
using Log = std::vector<std::string>;

// A harness whose table holds `rows` as read from definition lines.
void Fill(StageHarness& h, const std::vector<std::pair<std::string, std::string>>& rows) {
  for (const auto& [name, value] : rows) {
    const int length = static_cast<int>(name.size());
    h.run.DefinitionTable.push_back({name, length == 1 ? "$" + value + "$" : value, length, 1, {}, 0, 0});
  }
  h.run.DefinitionCount = static_cast<int>(rows.size());
}

TEST(DefinitionCheck, NamesThatAreWholeValues) {
  struct Case {
    std::vector<std::pair<std::string, std::string>> rows;
    Log warnings;
  };
  const Case cases[] = {
      {{{"AB", "CD"}, {"CD", "5"}}, {"CD は置換後ﾃﾞｰﾀに有ります。"}},
      {{{"AB", "CD+1"}, {"CD", "5"}}, {}},  // only whole values count
      {{{"AB", "AB"}}, {"AB は置換後ﾃﾞｰﾀに有ります。"}},
      {{{"AB", "Q"}, {"Q", "5"}}, {"Q は置換後ﾃﾞｰﾀに有ります。"}},
      {{{"a", "b"}, {"b", "1"}}, {}},  // one-byte values carry "$" markers
      {{{"AB", "cd"}, {"CD", "1"}}, {}},
      // A name that is the value of two rows is reported twice, rows in order.
      {{{"X1", "ZZ"}, {"ZZ", "1"}, {"Y1", "ZZ"}, {"PP", "X1"}},
       {"X1 は置換後ﾃﾞｰﾀに有ります。", "ZZ は置換後ﾃﾞｰﾀに有ります。", "ZZ は置換後ﾃﾞｰﾀに有ります。"}},
  };
  for (const auto& c : cases) {
    StageHarness h;
    Fill(h, c.rows);
    EXPECT_EQ(RunDefinitionCheck(h.run, h.frame), StageEnd::Continue);
    Log expected{"定義ﾃﾞｰﾀ確認 -- 開始"};
    expected.insert(expected.end(), c.warnings.begin(), c.warnings.end());
    expected.insert(expected.end(), {"定義ﾃﾞｰﾀ確認 -- 完了", ""});
    EXPECT_EQ(h.run.RunLog, expected) << testing::PrintToString(c.warnings);
  }
}

TEST(DuplicateCheck, SameValueWarnsDifferentValueStops) {
  struct Case {
    std::vector<std::pair<std::string, std::string>> rows;
    Log warnings;
    std::string stopsAt;  // empty: the check completes
  };
  const Case cases[] = {
      {{{"AB", "1"}, {"AB", "1"}}, {"AB : 1 は二重定義されています"}, ""},
      {{{"AB", "1"}, {"AB", "2"}}, {}, "AB"},
      {{{"AB", "1"}, {"ab", "2"}}, {}, ""},
      {{{"a", "1"}, {"a", "1"}}, {"a : $1$ は二重定義されています"}, ""},
      // Three rows of one value: pairs 1-2, 1-3, 2-3.
      {{{"P", "1"}, {"Q", "2"}, {"P", "1"}, {"P", "1"}},
       {"P : $1$ は二重定義されています", "P : $1$ は二重定義されています",
        "P : $1$ は二重定義されています"},
       ""},
      // Row order decides: row 1 (CD) meets its duplicates before row 2 (AB) does.
      {{{"CD", "1"}, {"AB", "1"}, {"AB", "1"}, {"CD", "1"}, {"AB", "2"}},
       {"CD : 1 は二重定義されています", "AB : 1 は二重定義されています"}, "AB"},
      // Warnings of an earlier row come before the stop of a later one.
      {{{"XY", "1"}, {"XY", "2"}, {"AB", "1"}}, {}, "XY"},
      {{{"AB", "1"}, {"XY", "1"}, {"AB", "1"}, {"XY", "2"}}, {"AB : 1 は二重定義されています"}, "XY"},
  };
  for (const auto& c : cases) {
    StageHarness h;
    Fill(h, c.rows);
    const StageEnd end = RunDuplicateCheck(h.run, h.frame);
    Log expected{"二重定義ﾃﾞｰﾀ確認 -- 開始"};
    expected.insert(expected.end(), c.warnings.begin(), c.warnings.end());
    if (c.stopsAt.empty()) {
      EXPECT_EQ(end, StageEnd::Continue);
      expected.insert(expected.end(), {"二重定義ﾃﾞｰﾀ確認 -- 完了", ""});
      EXPECT_TRUE(h.frame.Messages().empty());
    } else {
      EXPECT_EQ(end, StageEnd::EndRun);
      expected.push_back("二重定義ﾃﾞｰﾀ確認 -- 中止");
      EXPECT_EQ(h.frame.Messages(),
                (std::vector<std::string>{c.stopsAt + " は二重定義されています。\nコンパイルを中止します。"}));
    }
    EXPECT_EQ(h.run.RunLog, expected) << testing::PrintToString(c.warnings);
  }
}

// The log of both checks compared with a plain pairwise walk over random
// tables with many repeated names and values.
TEST(DefinitionChecks, AgreeWithThePairwiseWalk) {
  std::mt19937 random(7);
  const std::vector<std::string> words = {"A", "B", "AB", "CD", "X1", "1", "2", "$1$"};
  for (int round = 0; round < 300; ++round) {
    StageHarness h;
    const int rows = 1 + static_cast<int>(random() % 12);
    for (int i = 0; i < rows; ++i) {
      const std::string& name = words[random() % 5];
      // Mostly one value per name, so that many tables pass the duplicate check.
      const std::string value = random() % 4 ? name + "v" : words[random() % words.size()];
      h.run.DefinitionTable.push_back({name, value, static_cast<int>(name.size()), 1, {}, 0, 0});
    }
    h.run.DefinitionCount = rows;

    Log expected{"定義ﾃﾞｰﾀ確認 -- 開始"};
    const auto& t = h.run.DefinitionTable;
    for (int i = 0; i < rows; ++i)
      for (int j = 0; j < rows; ++j)
        if (t[i].Name == t[j].Value) expected.push_back(t[i].Name + " は置換後ﾃﾞｰﾀに有ります。");
    expected.insert(expected.end(), {"定義ﾃﾞｰﾀ確認 -- 完了", "", "二重定義ﾃﾞｰﾀ確認 -- 開始"});
    std::string stop;
    for (int i = 0; i < rows && stop.empty(); ++i)
      for (int j = i + 1; j < rows && stop.empty(); ++j)
        if (t[i].Name == t[j].Name) {
          if (t[i].Value == t[j].Value)
            expected.push_back(t[i].Name + " : " + t[i].Value + " は二重定義されています");
          else
            stop = t[i].Name;
        }
    if (stop.empty()) expected.insert(expected.end(), {"二重定義ﾃﾞｰﾀ確認 -- 完了", ""});
    else expected.push_back("二重定義ﾃﾞｰﾀ確認 -- 中止");

    RunDefinitionCheck(h.run, h.frame);
    EXPECT_EQ(RunDuplicateCheck(h.run, h.frame), stop.empty() ? StageEnd::Continue : StageEnd::EndRun);
    ASSERT_EQ(h.run.RunLog, expected) << "round " << round;
  }
}

}  // namespace
}  // namespace vostrel
