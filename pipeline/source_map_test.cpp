// The source map: findings name the place in the source as written, through
// the stages that move, split, join and delete lines, and through include
// files.

#include <gtest/gtest.h>

#include "pipeline/compile.h"
#include "pipeline/source_map.h"
#include "pipeline/stages/stages.h"
#include "tests/test_support.h"

namespace vostrel {
namespace {

using test::StageHarness;

// "file:line:column severity word" of each finding, the file shortened to
// its name.
std::string Place(const Finding& f) {
  const char* severity = f.severity == Severity::Error ? "error" : f.severity == Severity::Warning ? "warning" : "note";
  return std::filesystem::path(f.file).filename().string() + ":" + std::to_string(f.line) + ":" +
         std::to_string(f.column) + " " + severity + " " + f.word;
}

struct RunCase {
  const char* name;
  std::string source;                 // bytes of SOURCE.NC
  std::string include;                // bytes of COMMON.DEF (beside it)
  std::string endSet;                 // End_set
  std::vector<std::string> findings;  // Place() of each, in order
  std::vector<std::int32_t> outputOrigins;  // source line of each output line
};

class SourceMapRun : public ::testing::TestWithParam<RunCase> {};

TEST_P(SourceMapRun, FindingsAndOutputLinesPointAtTheSource) {
  const RunCase& c = GetParam();
  test::TempDir dir;
  test::WriteFile(dir / "SOURCE.NC", c.source);
  test::WriteFile(dir / "COMMON.DEF", c.include);
  test::WriteFile(dir / "words.lst", "GOTO\r\n");
  StageHarness h;
  h.options.End_set = c.endSet;
  h.options.chg16_10 = "Y";
  h.run.ExeDir = dir.path();
  h.run.WordListPath = dir / "words.lst";
  std::vector<std::string> places;
  h.frame.SetWantsFindings(true);
  h.frame.SetFindingSink([&](const Finding& f) { places.push_back(Place(f)); });
  ASSERT_TRUE(LoadSource(dir / "SOURCE.NC", h.run, h.frame, platform::Pipes::Read));
  RunStages(h.run, h.frame);
  EXPECT_EQ(places, c.findings);
  if (!c.outputOrigins.empty()) {
    EXPECT_EQ(h.run.SourceLines(), c.outputOrigins);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SourceMapRun,
    ::testing::Values(
        // Definition lines are emptied and then deleted by the tidy-up: the
        // output lines keep their source lines; the unknown word is found
        // in the lower-case source at its character column (a double-byte
        // character counts as one).
        RunCase{"TidyUp",
                "%\r\n$FEED 200\r\n\r\n(\x83\x65\x83\x58\x83\x67) g01 x1 fFEED gotoo\r\nM30\r\n", "", "N",
                {"SOURCE.NC:4:20 error GOTOO"}, {1, 4, 5}},
        // A name ending in a lone CR matches across the line end: the
        // whole-text replacement joins lines 2 and 3 (the joined line is
        // one unknown word, not found as such in the source), and the
        // findings after it still name their own source lines.
        RunCase{"JoinedLines", "$B\r X\r\nAB\r\nCD\r\n#1=[#2 GOTOO\r\n", "", "N",
                {"SOURCE.NC:4:4 error [", "SOURCE.NC:2:0 error AX\nCD", "SOURCE.NC:4:8 error GOTOO"},
                {2, 4}},
        // Definitions from an include file keep its name and line: the
        // conflict names both places, the empty definition line its own.
        RunCase{"IncludeConflict", "%\r\n$XO 1\r\n#INCLUDE ..\\COMMON.DEF\r\n",
                "; header\r\n$\r\n$YO\r\n$XO 2\r\n", "N",
                {"COMMON.DEF:3:1 warning ", "COMMON.DEF:4:2 error XO", "SOURCE.NC:2:2 note XO"}, {}},
        // A missing include file stops the run at its include line, at the
        // path's column.
        RunCase{"MissingInclude", "%\r\nG00\r\n  #INCLUDE NONE.DEF\r\n", "", "N",
                {"SOURCE.NC:3:12 error NONE.DEF"}, {}},
        // An invalid hexadecimal constant: line and column, lower case in the
        // source.
        RunCase{"BadHex", "%\r\n#1=0x1 + 0x123456789\r\n", "", "N",
                {"SOURCE.NC:2:10 error 0X123456789"}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SourceMap, LineEndingConversionGivesEveryPieceItsLine) {
  StageHarness h({"A\r\nB\nC", "D", "E\nF"});
  h.run.LineOrigins = {3, 7, 9};
  RunLineEndingConversion(h.run, h.frame);
  EXPECT_EQ(h.run.WorkLines, (TextLines{"A", "B", "C", "D", "E", "F"}));
  EXPECT_EQ(h.run.LineOrigins, (std::vector<std::int32_t>{3, 3, 3, 7, 9, 9}));
}

TEST(SourceMap, ColumnsCountDoubleByteCharactersAsOne) {
  // "ー" is 0x81 0x5B: its second byte is a "[" to the bracket check.
  const std::string line = "(\x83\x65\x81\x5B)X[";
  EXPECT_EQ(CharColumn(line, 5), 4);  // ")"
  EXPECT_EQ(CharColumn(line, 2), 2);  // the second byte of "テ" is in its column
  EXPECT_EQ(SourceColumn(line, line, "[", 4), 3);
  EXPECT_EQ(SourceColumn(line, line, "[", 7), 6);
}

}  // namespace
}  // namespace vostrel

namespace vostrel {
namespace {

// A source read again from its file gives the lines a kept copy gives, in
// any order of asking, across the blocks it reads.
TEST(SourceText, ReadAgainFromTheFileEqualsTheKeptBytes) {
  const std::string texts[] = {
      "", "A", "A\n", "A\r\nB", "A\r\n\r\nB\n", "\r\n", "A\rB\nC\r",
      [] {
        std::string many;
        for (int n = 0; n < 3000; ++n) many += "N" + std::to_string(n) + (n % 3 ? "\r\n" : "\n");
        return many;
      }(),
  };
  test::TempDir dir;
  for (const std::string& text : texts) {
    const auto path = dir.path() / "source.nc";
    test::WriteFile(path, text);
    SourceText kept, again;
    kept.Reset(text);
    again.ReadAgainFrom(path, text.size());
    for (const std::int32_t n : {0, 1, 2, 3, 2999, 1025, 1024, 1, 3000, 3001, 3002})
      EXPECT_EQ(again.Line(n), kept.Line(n)) << n << " of " << text.size() << " bytes";
  }
}

}  // namespace
}  // namespace vostrel
