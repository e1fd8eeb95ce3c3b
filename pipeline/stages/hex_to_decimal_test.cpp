// 16進から10進: hexadecimal constants to decimal.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <random>
#include <utility>

#include "pipeline/compile.h"
#include "pipeline/stage_table.h"
#include "pipeline/text_lines.h"
#include "pipeline/stages/stages.h"
#include "tests/hex_reference.h"
#include "tests/test_support.h"
#include "text/sjis.h"

namespace vostrel {
namespace {

using test::Sjis;
using test::ReferenceConvertHexLine;
using test::StageHarness;


TEST(ConvertHexLine, ConvertsAndUpperCases) {
  struct Case { std::string line, expected; };
  const Case cases[] = {
      {"#1=0x1f ", "#1=31 "},
      {"#1=0X1F", "#1=31"},
      {"#1=0X0", "#1=0"},
      {"#1=0X", "#1=0X"},
      {"#1=0XFFFFFFFF", "#1=-1"},
      {"#1=0X7FFFFFFF", "#1=2147483647"},
      {"#1=0X80000000", "#1=-2147483648"},
      {"#1=0X00000000FF", "#1=255"},
      {"#1=0x9 #2=0xA #3=0x63 #4=0x64 #5=0x5F5E0FF #6=0x5F5E100 #7=0x3B9ACA00 #8=0xC4653600",  // decimal lengths
       "#1=9 #2=10 #3=99 #4=100 #5=99999999 #6=100000000 #7=1000000000 #8=-1000000000"},
      {"G00X0", "G00X0"},                     // the run 00X0 does not start with 0X
      {"#1=0X10+0X10", "#1=16+16"},           // the first evaluation replaces both
      {"#1=0X1 #2=0X1F", "#1=1 #2=1F"},       // replacing 0X1 everywhere hits 0X1F
      {"#10=0X1F+1", "#10=31+1"},
      {"G0X10", "G16"},
      {"g0 x10", "G0 X10"},                   // no literal, only upper-cased
      {"#1=-0xa", "#1=-10"},
      {"#1=00x10", "#1=00X10"},               // "00X10" begins with 00
      {"#1=0x10.5", "#1=16.5"},
      // Double-byte characters end a literal and are kept byte for byte,
      // even with a trail byte in a-z (ヂ is 0x83 0x61).
      {Sjis("#1=0x10ヂ(切削ａ)"), Sjis("#1=16ヂ(切削ａ)")},
      {Sjis("0ス"), Sjis("0ス")},              // ス is 0x83 0x58: no "0X"
  };
  for (const auto& c : cases) {
    const HexLineResult result = ConvertHexLine(c.line);
    EXPECT_EQ(result.badLiteral, "") << c.line;
    EXPECT_EQ(result.line, c.expected) << c.line;
  }
}

TEST(ConvertHexLine, RefusesWhatIsNoThirtyTwoBitNumber) {
  struct Case { std::string line, literal; };
  const Case cases[] = {
      {"#1=0X1X2", "0X1X2"},
      {"#1=0x123456789", "0X123456789"},
      {"#1=0XFFFFFFFFF+1", "0XFFFFFFFFF"},
      {"#1=0XX", "0XX"},
      {"#1=0X1 #2=0X1X", "0X1X"},
      {"#0X00007000000000\x12" "0", "0X00007000000000"},  // ten digits after the zeros, the last eight of them 0
  };
  for (const auto& c : cases) EXPECT_EQ(ConvertHexLine(c.line).badLiteral, c.literal) << c.line;
  EXPECT_EQ(ConvertHexLine("#1=0X000000001").badLiteral, "");  // leading zeros do not count
}

TEST(ConvertHexLine, RunsThatAreNoLiteralAreRewrittenInScanOrder) {
  struct Case { std::string line, expected; };
  const Case cases[] = {
      // 0X1 is evaluated before 0XA and again after it: the second time it
      // finds the 0X1 that replacing 0XA made inside 00XAX1.
      {"0X1 00XAX1 0XA 0X1", "1 011 10 1"},
      {"00X1 0X1", "01 1"},
      {"00X1X2 0X2 0X1", "01X2 2 1"},     // 0X2 comes first and finds nothing there
      {"0X1F 0X1", "31 1"},           // 0X1F comes first: 0X1 finds nothing in it
      {"00X00 0X0", "000 0"},
      {"0X-0X1", "0X-1"},             // "0X" alone is no literal
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReferenceConvertHexLine(c.line).line, c.expected) << c.line;
    EXPECT_EQ(ConvertHexLine(c.line).line, c.expected) << c.line;
  }
}

// Random lines over the bytes that matter (digits, X, letters, blanks, a
// double-byte character whose trail byte is "X"): the stage and the plain
// one-replace-per-literal form agree on every one.
TEST(ConvertHexLine, AgreesWithOneReplacePerLiteral) {
  const std::string alphabet[] = {"0", "0", "0", "X", "x", "X", "1", "2", "A", "f", "F", "9",
                                  " ", "-", "#", "=", "G", "\x83X", "\x83", "00X", "0X1"};
  std::mt19937 random(20240611);
  for (int round = 0; round < 200000; ++round) {
    std::string line;
    const int pieces = static_cast<int>(random() % 24);
    for (int i = 0; i < pieces; ++i) line += alphabet[random() % std::size(alphabet)];
    const HexLineResult expected = ReferenceConvertHexLine(line);
    const HexLineResult actual = ConvertHexLine(line);
    ASSERT_EQ(actual.badLiteral, expected.badLiteral) << line;
    if (expected.badLiteral.empty()) {
      ASSERT_EQ(actual.line, expected.line) << line;
    }
  }
}

// A literal at every place of lines around the lengths where the scan
// goes from one word of eight or sixty-four bytes to the next, among
// plain letters, zeros and a double-byte character.
TEST(ConvertHexLine, LiteralAtEveryPlaceOfALine) {
  for (const std::string& filler : {std::string("g"), std::string("0"), std::string("a0"), Sjis("ヂ")}) {
    for (std::size_t length = 4; length < 140; ++length) {
      if (length > 20 && (length % 64 < 52 && length % 64 > 12)) continue;
      for (std::size_t at = 0; at + 4 <= length; ++at) {
        std::string line;
        while (line.size() < at) line += filler;
        line.resize(at);
        line += "0x1f";
        while (line.size() < length) line += filler;
        const HexLineResult expected = ReferenceConvertHexLine(line);
        const HexLineResult actual = ConvertHexLine(line);
        ASSERT_EQ(actual.badLiteral, expected.badLiteral) << line;
        if (expected.badLiteral.empty()) {
          ASSERT_EQ(actual.line, expected.line) << line;
        }
      }
    }
  }
}

// Every line of the real programs, upper- and lower-case.
TEST(ConvertHexLine, AgreesWithOneReplacePerLiteralOnRealPrograms) {
  const auto dir = test::CorpusDir();
  if (!dir) GTEST_SKIP() << "no corpus of real NC programs in this clone (VOSTREL_CORPUS)";
  std::size_t lines = 0;
  for (const auto& entry : std::filesystem::directory_iterator(*dir)) {
    if (!entry.is_regular_file()) continue;
    for (const std::string_view sourceLine : SplitSourceText(test::ReadFile(entry.path()))) {
      std::string line(sourceLine);
      for (int pass = 0; pass < 2; ++pass) {
        const HexLineResult expected = ReferenceConvertHexLine(line);
        const HexLineResult actual = ConvertHexLine(line);
        ASSERT_EQ(actual.badLiteral, expected.badLiteral) << entry.path() << ": " << line;
        if (expected.badLiteral.empty()) {
          ASSERT_EQ(actual.line, expected.line) << entry.path();
        }
        for (char& c : line) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      }
      ++lines;
    }
  }
  EXPECT_GT(lines, 0u);
}

// One long line with a hundred thousand different constants, none the
// prefix of another: each becomes its own value. One replace over the
// whole line per constant would take hours here.
TEST(ConvertHexLine, LongLineWithManyConstants) {
  std::string line, expected;
  char buffer[48];
  for (std::uint32_t k = 0; k < 100000; ++k) {
    const std::uint32_t value = k * 2654435761u;
    std::snprintf(buffer, sizeof buffer, "#%u=0x%08x ", k % 999 + 1, value);
    line += buffer;
    std::snprintf(buffer, sizeof buffer, "#%u=%d ", k % 999 + 1, static_cast<std::int32_t>(value));
    expected += buffer;
  }
  const HexLineResult result = ConvertHexLine(line);
  EXPECT_EQ(result.badLiteral, "");
  EXPECT_TRUE(result.line == expected);
  line += "0x1x";
  EXPECT_EQ(ConvertHexLine(line).badLiteral, "0X1X");
}

TEST(HexToDecimal, RewritesOnlyLinesWithALiteral) {
  StageHarness h({"g00 x1.", "#1=0x1f", Sjis("(切削)"), "#2=0XFF (max)"});
  EXPECT_EQ(RunHexToDecimal(h.run, h.frame), StageEnd::Continue);
  EXPECT_EQ(h.run.WorkLines, (TextLines{"g00 x1.", "#1=31", Sjis("(切削)"), "#2=255 (MAX)"}));
  EXPECT_EQ(h.run.RunLog, (std::vector<std::string>{"16進から10進 -- 開始", "16進から10進 -- 完了", ""}));
}

TEST(HexToDecimal, NothingToConvert) {
  StageHarness h({"g00 x1.", "G00 X0", "#1=10"});
  EXPECT_EQ(RunHexToDecimal(h.run, h.frame), StageEnd::Continue);
  EXPECT_EQ(h.run.WorkLines, (TextLines{"g00 x1.", "G00 X0", "#1=10"}));
  EXPECT_EQ(h.run.RunLog, (std::vector<std::string>{"16進から10進 -- 開始", "16進から10進 -- 無し",
                                                    "16進から10進 -- 完了", ""}));
}

TEST(HexToDecimal, BadLiteralStopsTheRun) {
  StageHarness h({"#1=0x10", "#2=0x1x2", "#3=0x10"});
  EXPECT_EQ(RunHexToDecimal(h.run, h.frame), StageEnd::EndRun);
  EXPECT_EQ(h.frame.RunOutcome(), StageFrame::Outcome::Aborted);
  ASSERT_EQ(h.frame.Messages().size(), 1u);
  EXPECT_EQ(h.frame.Messages()[0], "0X1X2 は16進数に変換できません。\nコンパイルを中止します。");
  EXPECT_EQ(h.run.RunLog, (std::vector<std::string>{"16進から10進 -- 開始", "16進から10進 -- 中止"}));
}

TEST(HexToDecimal, RunsOnlyWhenTheOptionIsY) {
  const StageEntry* row = nullptr;
  for (const auto& stage : StageOrder())
    if (stage.logName == "16進から10進") row = &stage;
  ASSERT_NE(row, nullptr);
  for (const std::string value : {"N", "y", "", "Y"}) {
    StageHarness h({"#1=0x10"});
    h.options.chg16_10 = value;
    EXPECT_EQ(RunStages(h.run, h.frame, std::span(row, 1)), RunResult::Completed);
    const bool ran = std::find(h.run.RunLog.begin(), h.run.RunLog.end(), "16進から10進 -- 開始") !=
                     h.run.RunLog.end();
    EXPECT_EQ(ran, value == "Y") << value;
    EXPECT_EQ(h.run.WorkLines[0], value == "Y" ? "#1=16" : "#1=0x10") << value;
  }
}

}  // namespace
}  // namespace vostrel
