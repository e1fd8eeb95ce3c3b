#include "renumber/renumber.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vostrel::renumber {
namespace {

TextLines Lines(const std::string& text) { return SplitAtCrLf(text); }

std::string Joined(const TextLines& lines) { return JoinLines(lines); }

struct Case {
  const char* name;
  std::string program;  // lines joined by CR LF
  Options options;
  std::string expected;  // the result; empty when refused
  std::vector<std::string> findings;  // "line:part of the message"
};

Options With(std::int64_t start, std::int64_t step, BlockChoice blocks = BlockChoice::Numbered, int width = 0,
             bool force = false) {
  Options o;
  o.start = start;
  o.step = step;
  o.blocks = blocks;
  o.width = width;
  o.force = force;
  return o;
}

const Case kCases[] = {
    {"targets forward and backward",
     "O1000\r\nN1#1=0\r\nN2IF[#1GT3]GOTO5\r\nN3#1=#1+1\r\nN4GOTO2\r\nN5M30", {},
     "O1000\r\nN10#1=0\r\nN20IF[#1GT3]GOTO50\r\nN30#1=#1+1\r\nN40GOTO20\r\nN50M30", {}},
    {"nested WHILE with a GOTO out of the loop, every block numbered",
     "%\r\nO1\r\nN5WHILE[#1LT3]DO1\r\nWHILE[#2LT3]DO2\r\nIF[#2EQ2]GOTO99\r\n#2=#2+1\r\nEND2\r\n\r\nEND1\r\nN99M30\r\n%",
     With(10, 10, BlockChoice::All),
     "%\r\nO1\r\nN10WHILE[#1LT3]DO1\r\nN20WHILE[#2LT3]DO2\r\nN30IF[#2EQ2]GOTO70\r\nN40#2=#2+1\r\nN50END2\r\n\r\n"
     "N60END1\r\nN70M30\r\n%",
     {}},
    {"M99 P names a block of the calling program",
     "O100\r\nN1M98P200\r\nN2G00X0\r\nN3M30\r\nO200\r\nN1G01X1\r\nN2M99P3", {},
     "O100\r\nN10M98P200\r\nN20G00X0\r\nN30M30\r\nO200\r\nN10G01X1\r\nN20M99P30", {}},
    {"M99 P in a subprogram whose caller is elsewhere stays",
     "O100\r\nN1M30\r\nO200\r\nN5M99P3", {}, "O100\r\nN10M30\r\nO200\r\nN10M99P3", {"4:M99 P3"}},
    {"Macro A branches",
     "O2\r\nN7G65H01P#1Q0\r\nN8G65H82P7Q#1R3\r\nN9G65H80P11\r\nN10G65H02P#1Q#1R1\r\nN11M30", With(100, 5),
     "O2\r\nN100G65H01P#1Q0\r\nN105G65H82P100Q#1R3\r\nN110G65H80P120\r\nN115G65H02P#1Q#1R1\r\nN120M30", {}},
    {"several O-programs with the same numbers",
     "O1\r\nN10GOTO20\r\nN20M30\r\nO2\r\nN20GOTO10\r\nN10M99", With(1, 1),
     "O1\r\nN1GOTO2\r\nN2M30\r\nO2\r\nN1GOTO2\r\nN2M99", {}},
    {"a computed GOTO is refused", "O1\r\nN1GOTO#10\r\nN2M30", {}, "", {"2:GOTO#10"}},
    {"a computed Macro A branch is refused", "O1\r\nN1G65H80P#10\r\nN2M30", {}, "", {"2:P#10"}},
    {"a missing target is reported", "O1\r\nN1IF[#1EQ0]GOTO30\r\nN2M30", {}, "", {"2:N30"}},
    {"forced over a missing target, the jump stays",
     "O1\r\nN1IF[#1EQ0]GOTO30\r\nN2M30", With(10, 10, BlockChoice::Numbered, 0, true),
     "O1\r\nN10IF[#1EQ0]GOTO30\r\nN20M30", {"2:N30"}},
    {"a target numbered twice is refused", "O1\r\nN5GOTO7\r\nN7G00X1\r\nN7G00X2", {}, "", {"2:N7"}},
    {"N inside remarks is left alone",
     "O1\r\n(N100 GOTO100)\r\nN1(N5 GOTO5)G01X1\r\nN2GOTO1(GOTO2)", {},
     "O1\r\n(N100 GOTO100)\r\nN10(N5 GOTO5)G01X1\r\nN20GOTO10(GOTO2)", {}},
    {"targets and tool changes only, padded",
     "O1\r\nN1T1M06\r\nN2G00X0\r\nG01X1\r\nIF[#1LT2]GOTO2\r\n/N3M30", With(10, 10, BlockChoice::Targets, 4),
     "O1\r\nN0010T1M06\r\nN0020G00X0\r\nG01X1\r\nIF[#1LT2]GOTO20\r\n/M30", {}},
    {"a block that starts with a digit gets no number", "O1\r\n5.0\r\nG00X0", With(1, 1, BlockChoice::All),
     "O1\r\n5.0\r\nN1G00X0", {}},
    {"O-number, % and empty lines counted but only the empty one numbered",
     "%\r\nO1\r\n\r\nG00X0\r\n%", [] {
       Options o = With(1, 1, BlockChoice::All);
       o.skipMarkerLines = false;
       return o;
     }(),
     "%\r\nO1\r\nN2\r\nN3G00X0\r\n%", {}},
    {"lower case, spaces and block skip as stored",
     "o1\r\n/n1 g00 x0\r\n n2 goto 1", {}, "o1\r\n/n10 g00 x0\r\n n20 goto 10", {}},
    {"M97 P names a block of the same program", "O1\r\nN1M97P3\r\nN2M30\r\nN3G00X1\r\nN4M99", {},
     "O1\r\nN10M97P30\r\nN20M30\r\nN30G00X1\r\nN40M99", {}},
};

TEST(Renumber, Table) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const Outcome outcome = Renumber(Lines(c.program), c.options);
    EXPECT_EQ(outcome.refused, c.expected.empty());
    if (!c.expected.empty()) {
      EXPECT_EQ(Joined(outcome.lines), c.expected);
    }
    ASSERT_EQ(outcome.findings.size(), c.findings.size());
    for (std::size_t i = 0; i < c.findings.size(); ++i) {
      const std::string& want = c.findings[i];
      const std::size_t colon = want.find(':');
      EXPECT_EQ(std::to_string(outcome.findings[i].line), want.substr(0, colon));
      EXPECT_NE(outcome.findings[i].message.find(want.substr(colon + 1)), std::string::npos)
          << outcome.findings[i].message;
    }
  }
}

TEST(Renumber, ForcedReportNamesTheDoubtfulJumps) {
  const Outcome outcome = Renumber(Lines("O1\r\nN1GOTO#1\r\nN2GOTO9\r\nN3M30"),
                                   With(10, 10, BlockChoice::Numbered, 0, true));
  EXPECT_EQ(outcome.doubtfulJumps, (std::vector<std::int32_t>{2, 3}));
  const std::vector<std::string> report = ReportLines(outcome);
  EXPECT_EQ(report.front(), "番号振り直し -- 開始");
  EXPECT_EQ(std::count(report.begin(), report.end(), "3行目 の飛び先は正しくないかもしれません"), 1);
  EXPECT_EQ(report[report.size() - 2], "番号振り直し -- 完了");
}

}  // namespace
}  // namespace vostrel::renumber
