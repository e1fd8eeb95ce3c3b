// Replacement of defined names by their values.

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "pipeline/definition_parse.h"
#include "pipeline/stages/stages.h"
#include "tests/test_support.h"
#include "text/sjis.h"

namespace vostrel {
namespace {

using test::StageHarness;
using Log = std::vector<std::string>;

struct Def {
  std::string name, value;
  int scope = 1;
};

// Both replacement passes over `lines` with the definitions `defs` (values
// as written; one-byte names get their "$" markers as when read).
TextLines Replace(const TextLines& lines, const std::vector<Def>& defs, Log* log = nullptr) {
  StageHarness h(lines);
  for (const auto& d : defs) {
    Definition row;
    EXPECT_TRUE(ParseDefinitionLine("$" + d.name + " " + d.value, "$", d.scope, row)) << d.name;
    StoreDefinition(h.run, row);
  }
  h.run.DefinitionCount = static_cast<int>(defs.size());
  EXPECT_EQ(RunLongNameReplacement(h.run, h.frame), StageEnd::Continue);
  EXPECT_EQ(RunOneByteNameReplacement(h.run, h.frame), StageEnd::Continue);
  EXPECT_EQ(h.run.WorkLines.size(), lines.size());
  if (log) *log = h.run.RunLog;
  return h.run.WorkLines;
}

TEST(LongNameReplacement, WholeTextLongestFirstThenTableOrder) {
  struct Case {
    std::string what;
    std::vector<Def> defs;
    TextLines before, after;
  };
  const Case cases[] = {
      {"plain", {{"PITCH", "1.5"}}, {"G01 Z-PITCH", "F PITCH"}, {"G01 Z-1.5", "F 1.5"}},
      {"longer name first", {{"PITCH", "1"}, {"PITCH2", "2"}}, {"PITCH2 PITCH"}, {"2 1"}},
      {"AB and ABD", {{"AB", "1"}, {"ABD", "2"}}, {"ABD AB"}, {"2 1"}},
      {"substring inside a word", {{"AB", "7"}}, {"CABLE"}, {"C7LE"}},
      {"above its definition line", {{"XO", "10", 5}}, {"X XO"}, {"X 10"}},
      {"case matters", {{"PITCH", "1"}}, {"pitch"}, {"pitch"}},
      {"value uses a shorter name", {{"AA", "BB+1"}, {"BB", "#100"}}, {"AA"}, {"#100+1"}},
      {"value uses a later name of one length", {{"AA", "BB"}, {"BB", "5"}}, {"AA"}, {"5"}},
      {"value uses an earlier name of one length", {{"BB", "5"}, {"AA", "BB"}}, {"AA"}, {"BB"}},
      {"value keeps a longer name", {{"ABC", "1"}, {"AA", "ABC"}}, {"AA"}, {"ABC"}},
      {"same name twice", {{"AB", "1"}, {"AB", "1"}}, {"AB"}, {"1"}},
      {"array form", {{"TBL", "500"}}, {"#1=@TBL[3]", "#2=@TBL[I]+TBL", "@TBL"},
       {"#1=#[500+3]", "#2=#[500+I]+500", "@500"}},
      {"array form in another line", {{"TBL", "500"}}, {"TBL", "@TBL[1]"}, {"500", "#[500+1]"}},
      {"no match at a second byte", {{"\\X", "1"}}, {"\x95\\X", "(\\X)"}, {"\x95\\X", "(1)"}},
      {"empty value", {{"NOP", ""}}, {"G00NOP X1"}, {"G00 X1"}},
      {"a removed name joins its neighbours", {{"XYZ", ""}, {"AB", "1"}}, {"AXYZB"}, {"1"}},
      {"a value joins its neighbour", {{"XYZ", "A"}, {"AB", "1"}}, {"XYZB"}, {"1"}},
      {"a value brings the array mark", {{"XYZ", "@"}, {"TB", "5"}}, {"XYZTB[1]"}, {"#[5+1]"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Replace(c.before, c.defs), c.after) << c.what;
}

TEST(OneByteNameReplacement, DelimiterRule) {
  struct Case {
    std::string before, after;
  };
  // "a" stored as "$#500$".
  const Case cases[] = {
      {"#1=a+1", "#1=$#500$+1"},
      {"a*2", "$#500$*2"},
      {"#2=#1*a", "#2=#1*$#500$"},
      {"IF[a GT 0]GOTO10", "IF[$#500$ GT 0]GOTO10"},
      {"#3=abs", "#3=abs"},
      {"a", "a"},
      {"a2", "$#500$2"},
      {"ab", "ab"},
      {"2a", "2$#500$"},
      {"ba", "ba"},
      {"(a)", "($#500$)"},
      {"a.a\ta", "$#500$.$#500$\t$#500$"},
      {"aa", "aa"},
      {"a,1", "a,1"},       // "," is no delimiter
      {"$a$", "$a$"},       // nor is "$"
      {"#4=@a[2]", "#4=#[$#500$+2]"},
      {"#5=@a[1]+abs", "#5=#[$#500$+1]+$#500$bs"},  // with "@a", every a is replaced
      {"\x81\x40" "abs", "\x81\x40" "abs"},  // the "@" of a full-width space is no array mark
      // A byte of a double-byte character is no delimiter: the second bytes
      // of "ー" (0x81 0x5B) and "転" (0x93 0x5D) are no "[" and "]".
      {"G00(\x83\x5A\x83\x93\x83\x5E\x81\x5B" "a)", "G00(\x83\x5A\x83\x93\x83\x5E\x81\x5B" "a)"},
      {"#1=\x93\x5D" "a", "#1=\x93\x5D" "a"},
      {"#1=\x81\x81]a", "#1=\x81\x81]$#500$"},  // 0x81 0x81 is one character: "]" is itself
  };
  for (const auto& c : cases)
    EXPECT_EQ(Replace({c.before}, {{"a", "#500"}}), TextLines{c.after}) << c.before;
  // A one-byte name is a whole character: 0x81 before "[" is the lead byte of "ー".
  EXPECT_EQ(Replace({"(\x81\x5B)"}, {{"\x81", "1"}}), TextLines{"(\x81\x5B)"});
}

TEST(OneByteNameReplacement, ScopeAndTableOrder) {
  // Defined on line 2 (scope line 3): lines 1 and 2 stay.
  EXPECT_EQ(Replace({"#1=a", "#2=a", "#3=a"}, {{"a", "1", 3}}),
            (TextLines{"#1=a", "#2=a", "#3=$1$"}));
  // Defined on the last line: replaced nowhere.
  EXPECT_EQ(Replace({"#1=a", ""}, {{"a", "1", 3}}), (TextLines{"#1=a", ""}));
  // From an include file (scope line 1): from the first line on.
  EXPECT_EQ(Replace({"#1=a", "#2=a"}, {{"a", "1", 1}}), (TextLines{"#1=$1$", "#2=$1$"}));
  // A name beside an inserted value's "$" marker is not replaced.
  EXPECT_EQ(Replace({"a b", "ab"}, {{"a", "b"}, {"b", "2"}}), (TextLines{"$b$ $2$", "ab"}));
  EXPECT_EQ(Replace({"#1=b+a"}, {{"a", "b"}, {"b", "2"}}), (TextLines{"#1=$2$+$b$"}));
  // An address letter between digits is replaced too; beside a letter it is not.
  EXPECT_EQ(Replace({"G01X10.", "G01 X 10.", "MX1", "X"}, {{"X", "#1"}}),
            (TextLines{"G01$#1$10.", "G01 $#1$ 10.", "MX1", "X"}));
}

// More distinct one-byte names than the pass keeps per-line bits for: the
// names past the 64th are still replaced, and so is a name that an earlier
// value brought into a line.
TEST(OneByteNameReplacement, ManyDistinctNames) {
  std::string names;
  for (char c = 'A'; c <= 'Z'; ++c) names += c;
  for (char c = 'a'; c <= 'z'; ++c) names += c;
  names += "!\"%&',:;<>?\\^_`{|}~";
  ASSERT_GT(names.size(), 64u);
  const std::string last = "$#" + std::to_string(names.size() + 99) + "$";  // the last name's value
  std::vector<Def> defs;
  TextLines before, after;
  for (std::size_t k = 0; k < names.size(); ++k) {
    defs.push_back({std::string(1, names[k]), "#" + std::to_string(k + 100)});
    before.push_back("#1=" + std::string(1, names[k]) + "+" + std::string(1, names.back()));
    after.push_back("#1=$#" + std::to_string(k + 100) + "$+" + last);
  }
  // The first value brings in the second name between delimiters: replaced too.
  defs.front().value = "1+B+2";
  after.assign(0, "#1=$1+$#101$+2$+" + last);
  after.assign(after.size() - 1, "#1=" + last + "+" + last);
  EXPECT_EQ(Replace(before, defs), after);
}

// A name defined again is looked for only where earlier turns may have left
// it: these are the places where it still is.
TEST(DefinitionReplacement, RepeatedNameMeetsWhatEarlierTurnsLeft) {
  struct Case {
    std::string what;
    std::vector<Def> defs;
    TextLines before, after;
  };
  const Case cases[] = {
      {"one-byte, brought back by another value", {{"a", "1"}, {"b", "(a)"}, {"a", "1"}}, {"#1=b", "#2=a"},
       {"#1=$($1$)$", "#2=$1$"}},
      {"one-byte, its value holds it", {{"a", "(a)"}, {"a", "(a)"}}, {"#1=a"}, {"#1=$($(a)$)$"}},
      {"one-byte, an earlier scope line", {{"a", "1", 3}, {"a", "1", 1}}, {"#1=a", "#2=a", "#3=a"},
       {"#1=$1$", "#2=$1$", "#3=$1$"}},
      {"one-byte, a later scope line", {{"a", "1", 1}, {"b", "(a)"}, {"a", "1", 2}}, {"#1=b", "#2=b"},
       {"#1=$(a)$", "#2=$($1$)$"}},
      {"long, its value holds it", {{"AB", "(AB)"}, {"AB", "(AB)"}}, {"AB", "X"}, {"((AB))", "X"}},
      {"long, brought back by another value", {{"AB", "1"}, {"CD", "AB"}, {"AB", "1"}}, {"CD", "AB"}, {"1", "1"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Replace(c.before, c.defs), c.after) << c.what;
}

TEST(DefinitionReplacement, OnlyOneByteNamesAndTheLog) {
  Log log;
  EXPECT_EQ(Replace({"#1=a", "PITCH"}, {{"a", "1"}}, &log), (TextLines{"#1=$1$", "PITCH"}));
  EXPECT_EQ(log, (Log{"外部定義ﾃﾞｰﾀ置換 -- 開始", "外部定義ﾃﾞｰﾀ置換 -- 完了", "",
                      "定義ﾃﾞｰﾀ置換 -- 開始", "定義ﾃﾞｰﾀ置換 -- 完了", ""}));
  // Long names first, then one-byte names over the result.
  EXPECT_EQ(Replace({"XO a"}, {{"a", "1"}, {"XO", "a"}}), (TextLines{"$1$ $1$"}));
}

// The whole-text pass compared with a plain walk that searches every name
// in turn, over random texts in which values insert, join and remove names.
TEST(LongNameReplacement, AgreesWithAPlainWalkOverEveryName) {
  std::mt19937 random(11);
  // Lead bytes (0x81, 0x82) make double-byte characters of the bytes after
  // them. Without CR no name spans a line break and the pass goes line by
  // line; with CR in the alphabet some names hold one and the pass works
  // on the whole text.
  for (const std::string alphabet : {"ABC@[ 1\x81\x82", "ABC@[ 1\x81\r"}) {
    auto word = [&](std::size_t min, std::size_t max) {
      std::string w;
      const std::size_t length = min + random() % (max - min + 1);
      for (std::size_t i = 0; i < length; ++i) w += alphabet[random() % alphabet.size()];
      return w;
    };
    for (int round = 0; round < 3000; ++round) {
      TextLines lines;
      for (int n = 1 + static_cast<int>(random() % 3); n > 0; --n) lines.push_back(word(0, 12));
      std::vector<Definition> table;
      for (int n = 1 + static_cast<int>(random() % 6); n > 0; --n) {
        std::string name = word(2, 4);
        name.erase(std::remove(name.begin(), name.end(), ' '), name.end());
        if (name.size() < 2) continue;
        table.push_back({name, random() % 4 ? word(0, 3) : "", static_cast<int>(name.size()), 1, {}, 0, 0});
      }

      // The whole text is written back only when some name was found in it.
      std::string expected = JoinLines(lines);
      bool found = false;
      for (std::size_t length = 4; length >= 2; --length)
        for (const auto& d : table) {
          if (d.Name.size() != length || expected.find(d.Name) == std::string::npos) continue;
          found = true;
          if (expected.find("@" + d.Name) != std::string::npos)
            expected = sjis::ReplaceAll(expected, "@" + d.Name + "[", "#[" + d.Value + "+");
          expected = sjis::ReplaceAll(expected, d.Name, d.Value);
        }

      StageHarness h(lines);
      h.run.DefinitionTable = table;
      h.run.DefinitionCount = static_cast<int>(table.size());
      RunLongNameReplacement(h.run, h.frame);
      ASSERT_EQ(h.run.WorkLines, found ? SplitAtCrLf(expected) : lines) << "round " << round;
    }
  }
}

// Many names sharing prefixes and suffixes: the line-by-line pass finds
// every one of them, however they overlap.
TEST(LongNameReplacement, OverlappingNamesAcrossManyLines) {
  std::vector<Definition> table;
  for (const char* name : {"ABCD", "BCD", "CD", "ABC", "BC", "AB", "DA", "CDA"})
    table.push_back({name, std::string("<") + name + ">", static_cast<int>(std::strlen(name)), 1, {}, 0, 0});
  TextLines lines;
  for (int i = 0; i < 50; ++i) lines.push_back(std::string("XABCDAB").substr(static_cast<std::size_t>(i % 5)));
  std::string expected = JoinLines(lines);
  for (std::size_t length = 4; length >= 2; --length)
    for (const auto& d : table)
      if (d.Name.size() == length) expected = sjis::ReplaceAll(expected, d.Name, d.Value);
  StageHarness h(lines);
  h.run.DefinitionTable = table;
  h.run.DefinitionCount = static_cast<int>(table.size());
  RunLongNameReplacement(h.run, h.frame);
  EXPECT_EQ(h.run.WorkLines, SplitAtCrLf(expected));
}

}  // namespace
}  // namespace vostrel
