// The slicing rule and the three line converters of Macro A.

#include <gtest/gtest.h>

#include "macroa/arithmetic.h"
#include "macroa/branch.h"
#include "macroa/macroa_stage.h"
#include "macroa/take.h"
#include "tests/test_support.h"

namespace vostrel {
namespace {

using macroa::Pos;
using macroa::Take;
using test::Sjis;

struct Rewrite {
  std::string line, expected;
};

TEST(Take, ClampsToTheText) {
  struct Case {
    std::string s;
    Pos start, count;
    std::string expected;
  };
  const Case cases[] = {
      {"ABCDE", 2, 3, "BCD"},
      {"ABCDE", 1, 5, "ABCDE"},
      {"ABCDE", 4, 10, "DE"},      // stops at the end of the text
      {"ABCDE", 5, 1, "E"},
      {"ABCDE", 6, 1, ""},         // start past the end
      {"ABCDE", 100, -5, ""},
      {"ABCDE", 2, 0, ""},         // count below 1
      {"ABCDE", 2, -3, ""},
      {"ABCDE", 0, 2, "AB"},       // start below 1 counts as 1, count kept
      {"ABCDE", -7, 3, "ABC"},
      {"ABCDE", -7, 99, "ABCDE"},
      {"", 1, 1, ""},
      {"", 0, 5, ""},
      {"(\x95\x5c)", 1, 2, "(\x95"},  // bytes, not characters
      {"(\x95\x5c)", 3, 2, "\x5c)"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Take(c.s, c.start, c.count), c.expected)
        << "take(" << c.s << ", " << c.start << ", " << c.count << ")";
}

TEST(ConvertArithmeticLine, RulesInTheirOrder) {
  const Rewrite cases[] = {
      {"#1=#2XOR#3", "G65H13P#1Q#2R#3"},
      {"#1=#2OR#3", "G65H11P#1Q#2R#3"},
      {"#1=#2AND#3", "G65H12P#1Q#2R#3"},
      {"#10=ABS[#11]", "G65H22P#10Q#11"},
      {"#1=#2MOD#3", "G65H23P#1Q#2R#3"},
      {"#1=BIN[#2]", "G65H24P#1Q#2"},
      {"#1=BCD[#2]", "G65H25P#1Q#2"},
      {"#1=SQRT[#2]", "G65H21P#1Q#2"},
      {"#1=ATAN[#2]/[#3]", "G65H34P#1Q#2R#3"},
      {"#1=#2*SIN[#3]", "G65H31P#1Q#2R#3"},
      {"#1=#2*COS[#3]", "G65H32P#1Q#2R#3"},
      {"#1=#2*TAN[#3]", "G65H33P#1Q#2R#3"},
      {"N100#1=#2+#3", "N100G65H02P#1Q#2R#3"},
      {"#1=-#2", "G65H01P#1Q-#2"},
      {"#1=-5", "G65H01P#1Q-5"},
      {"#1=-#2+#3", "G65H02P#1Q-#2R#3"},
      {"#1=#2-#3", "G65H03P#1Q#2R#3"},
      {"#1=1.5*#2", "G65H04P#1Q1.5R#2"},
      {"#1=#2/#3", "G65H05P#1Q#2R#3"},
      {"#1=#2", "G65H01P#1Q#2"},
      {"#100=0(RESET)", "G65H01P#100Q0(RESET)"},
      {"#1=#2+#3+#4", "G65H02P#1Q#2R#3+#4"},
      {"#1=SIN[#2]", "G65H01P#1QSIN[#2]"},
      {"#1=SQRT[#2](ROOT)", "G65H21P#1Q#2](ROOT"},
      {"#1=#2*-1", "G65H03P#1Q#2*R1"},
      {"#1=SQRT[[#2*#3]]", "G65H21P#1Q[#2*#3]"},
      {"#1=ABS[#2]+1", "G65H22P#1Q#2]+"},
      {"#1=#[#2]+1", "G65H02P#1Q#[#2]R1"},
      {"(A=B)", "G65H01P(A=QB)"},
  };
  for (const auto& c : cases) EXPECT_EQ(ConvertArithmeticLine(c.line), c.expected) << c.line;
}

// Keywords are found anywhere, comments included, and cut at fixed places.
TEST(ConvertArithmeticLine, CommentsAreCutLikeTheStatement) {
  const Rewrite cases[] = {
      // "OR" in COLOR wins over the "+" of the statement
      {"#1=#2+#3(COLOR)", "G65H11P#1Q#2+#3(COLR)"},
      // the dropped last byte is the comment's ")"
      {"#1=BIN[#2](X)", "G65H24P#1Q#2](X"},
      {"#1=#2*COS[#3](C)", "G65H32P#1Q#2R#3](C"},
      {"#1=ATAN[#2]/[#3](A)", "G65H34P#1Q#2R#3](A"},
      // the other rules carry the whole comment on their last operand
      {"#1=#2/#3(B)", "G65H05P#1Q#2R#3(B)"},
      {"N5#1=#2(X)", "N5G65H01P#1Q#2(X)"},
      // "= -" (only possible inside a comment) selects the sign rule too
      {"#1=#2(X= -1)", "G65H01P#1Q#2(X= -1)"},
      {"(SET #1=0)", "(SET G65H01P#1Q0)"},
      // a double-byte character at the end loses its second byte
      {"#1=ABS[#2](\x95\x5c", "G65H22P#1Q#2](\x95"},
  };
  for (const auto& c : cases) EXPECT_EQ(ConvertArithmeticLine(c.line), c.expected) << c.line;
}

// Cuts whose markers are missing or out of order are clamped, never read
// outside the line.
TEST(ConvertArithmeticLine, MissingMarkersClampTheCuts) {
  const Rewrite cases[] = {
      {"G01X10.", "G01X10."},                  // no keyword: unchanged
      {"", ""},
      {"=", "G65H01P=Q"},                      // no "#": target runs to the "="
      {"#1=", "G65H01P#1Q"},
      {"#1=ATAN[#2]", "G65H34P#1QR=ATAN[#2"},  // no "]/[": M = 0
      {"X=1#2", "X=1G65H01PQ1#2"},            // "#" after "=": empty target
      {"#1+#2", "G65H02PQ#1R#2"},              // no "=" at all
      {"#1=ABS[", "G65H22P#1Q"},
  };
  for (const auto& c : cases) EXPECT_EQ(ConvertArithmeticLine(c.line), c.expected) << c.line;
}

TEST(ConvertBranchLine, ConditionalAndUnconditional) {
  const Rewrite cases[] = {
      {"IF[#1EQ#2]GOTO10", "G65H81P10Q#1R#2"},
      {"IF[#1NE0]GOTO20", "G65H82P20Q#1R0"},
      {"IF[#1GT#2]GOTO30", "G65H83P30Q#1R#2"},
      {"IF[#1LT#2]GOTO40", "G65H84P40Q#1R#2"},
      {"IF[#1GE#2]GOTO50", "G65H85P50Q#1R#2"},
      {"IF[#1LE#2]GOTO60", "G65H86P60Q#1R#2"},
      {"N10IF[#1EQ#2]GOTO10", "N10G65H81P10Q#1R#2"},
      {"IF[#1LT#2]GOTO5(NEXT)", "G65H84P5(NEXT)Q#1R#2"},
      {"IF[#1]GOTO10", "IF[#1]GOTO10"},
      {"GOTO100", "G65H80P100"},
      {"N5GOTO#10", "N5G65H80P#10"},
      {"G00X0(GOTO HOME)", "G00X0(G65H80P HOME)"},
      // the keyword latest in the list decides, not the first in the line
      {"IF[#1LE#2]GOTO9(EQ)", "G65H86P9(EQ)Q#1R#2"},
      {"IF[#1EQ#2]GOTO9(LT)", "G65H84P9(LT)Q#1EQ#2]GOTO9(R"},
      // no "]GOTO": G = 0, same formulas
      {"IF[#1EQ#2]", "G65H81P1EQ#2]Q#1R"},
      {"IF[#1EQ#2]GOTO", "G65H81PQ#1R#2"},
      {"GOTO", "G65H80P"},
      {"", ""},
      {"G01X1.", "G01X1."},
      {"N1GOTO5(\x95\x5c)", "N1G65H80P5(\x95\x5c)"},
  };
  for (const auto& c : cases) EXPECT_EQ(ConvertBranchLine(c.line), c.expected) << c.line;
}

TEST(ConvertAlarmLine, FirstOccurrenceOnly) {
  const Rewrite cases[] = {
      {"#3000=1(TOOL BROKEN)", "G65H99P1(TOOL BROKEN)"},
      {"N20#3000=15", "N20G65H99P15"},
      {"#3000=1GOTO5", "G65H99P1GOTO5"},
      {"#3000=1#3000=2", "G65H99P1#3000=2"},
      {"#3000=", "G65H99P"},
      {"#13000=1", "#13000=1"},
      {"#300=1", "#300=1"},
      {Sjis("#3000=3(工具折損)"), "G65H99P3" + Sjis("(工具折損)")},
  };
  for (const auto& c : cases) EXPECT_EQ(ConvertAlarmLine(c.line), c.expected) << c.line;
}

}  // namespace
}  // namespace vostrel
