// Reading definitions from include files.

#include <gtest/gtest.h>

#include "pipeline/stages/stages.h"
#include "tests/test_support.h"
#include "text/path_text.h"

namespace vostrel {
namespace {

namespace fs = std::filesystem;
using test::StageHarness;
using Log = std::vector<std::string>;

const Log kStart = {"外部定義ﾃﾞｰﾀ読み込み -- 開始"};

Log Concat(Log a, const Log& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Names, values and scope lines of the table, one text per row.
std::vector<std::string> Table(const CompileRun& run) {
  std::vector<std::string> rows;
  for (const auto& d : run.DefinitionTable)
    rows.push_back(d.Name + "=" + d.Value + "@" + std::to_string(d.ScopeStartLine));
  return rows;
}

// Runs the local definitions, then the include files, as a run does; the
// log keeps only the lines of the include files.
StageEnd RunBoth(StageHarness& h, const fs::path& exeDir) {
  h.run.ExeDir = exeDir;
  RunLocalDefinitions(h.run, h.frame);
  h.run.RunLog.clear();
  return RunExternalDefinitions(h.run, h.frame);
}

class ExternalDefinitions : public ::testing::Test {
 protected:
  test::TempDir dir;
};

TEST_F(ExternalDefinitions, ReadsFilesInOrderAfterTheSourceDefinitions) {
  // CR, LF and CR LF line ends, a tab, comments, a nested include that is
  // not followed, and a ";" that cuts a value.
  test::WriteFile(dir / "COMMON.DEF",
                  "$XO 10 ;origin\r;$NO 1\n$\tLONGNAME\t#100\r\n#INCLUDE OTHER.DEF\r\n"
                  "$y #510\n$CUT 1;2\nplain text\n");
  test::WriteFile(dir / "OTHER.DEF", "$ZZ 5\r\n");
  const std::string common = (dir / "COMMON.DEF").string();
  StageHarness h({"$AB 1", "#INCLUDE ..\\COMMON.DEF", "G00", "  #INCLUDE " + common + "  ", "M30"});
  EXPECT_EQ(RunBoth(h, dir.path()), StageEnd::Continue);
  EXPECT_EQ(Table(h.run), (std::vector<std::string>{
                              "AB=1@2", "XO=10@1", "LONGNAME=#100@1", "y=$#510$@1", "CUT=1@1",
                              "XO=10@1", "LONGNAME=#100@1", "y=$#510$@1", "CUT=1@1"}));
  EXPECT_EQ(h.run.DefinitionCount, 9);
  EXPECT_EQ(h.run.MaxNameLength, 8);
  EXPECT_EQ(h.run.WorkLines, (TextLines{"", " ", "G00", " ", "M30"}));
  EXPECT_EQ(h.run.RunLog,
            Concat(kStart, {"外部定義ﾃﾞｰﾀ読み込み -- 完了", "外部定義ﾃﾞｰﾀ数 = 8個", ""}));
}

TEST_F(ExternalDefinitions, NothingAdded) {
  test::WriteFile(dir / "EMPTY.DEF", "; only a comment\r\nG00\r\n");
  struct Case {
    TextLines lines, after;
    int count;
  };
  const Case cases[] = {
      {{"$AB 1", "G00"}, {"", "G00"}, 1},                    // no directive at all
      {{"#include EMPTY.DEF"}, {"#include EMPTY.DEF"}, 0},   // case matters
      {{"#INCLUDE ..\\EMPTY.DEF", "M30"}, {" ", "M30"}, 0},  // a file without definitions
  };
  for (const auto& c : cases) {
    StageHarness h(c.lines);
    EXPECT_EQ(RunBoth(h, dir.path()), StageEnd::Continue);
    EXPECT_EQ(h.run.WorkLines, c.after);
    EXPECT_EQ(h.run.DefinitionCount, c.count);
    EXPECT_EQ(h.run.RunLog,
              Concat(kStart, {"外部定義ﾃﾞｰﾀ読み込み -- 完了", "外部定義ﾃﾞｰﾀ数 = 無し", ""}));
  }
}

TEST_F(ExternalDefinitions, FolderNameInShiftJis) {
  fs::create_directories(dir.path() / fs::path(u8"表"));
  test::WriteFile(dir.path() / fs::path(u8"表") / "A.DEF", "$QQ 7\r\n");
  StageHarness h({"#INCLUDE ..\\\x95\x5c\\A.DEF"});
  EXPECT_EQ(RunBoth(h, dir.path()), StageEnd::Continue);
  EXPECT_EQ(Table(h.run), (std::vector<std::string>{"QQ=7@1"}));
}

TEST_F(ExternalDefinitions, UnreadableFileStopsTheRun) {
  test::WriteFile(dir / "GOOD.DEF", "$GG 1\r\n");
  fs::create_directories(dir / "FOLDER.DEF");
  struct Case {
    std::string line, message;
  };
  // The message names the full path tried: the program's folder in place of
  // each "..\", a relative path in the current folder.
  auto full = [](const fs::path& path) { return PathToUtf8(fs::absolute(path)); };
  const std::string stop = " が見つかりません。\nコンパイルを中止します。";
  const Case cases[] = {
      {"#INCLUDE ..\\MISSING.DEF", full(dir / "MISSING.DEF") + stop},
      {"#INCLUDE   ", stop},
      {"#INCLUDE ..\\FOLDER.DEF", full(dir / "FOLDER.DEF") + stop},
      {"#INCLUDE ..\\\x95\x5c\\NO.DEF", full(dir.path() / fs::path(u8"表") / "NO.DEF") + stop},
      {"#INCLUDE SUB\\NO.DEF", full(fs::path("SUB") / "NO.DEF") + stop},
  };
  for (const auto& c : cases) {
    StageHarness h({"#INCLUDE ..\\GOOD.DEF", c.line, "#INCLUDE ..\\GOOD.DEF"});
    EXPECT_EQ(RunBoth(h, dir.path()), StageEnd::EndRun);
    EXPECT_EQ(h.frame.RunOutcome(), StageFrame::Outcome::Aborted);
    EXPECT_EQ(h.frame.Messages(), (std::vector<std::string>{c.message}));
    EXPECT_EQ(h.run.RunLog, Concat(kStart, {"外部定義ﾃﾞｰﾀ読み込み -- 中止"}));
    // Lines before the failing one are blanked, the failing one stays.
    EXPECT_EQ(h.run.WorkLines, (TextLines{" ", c.line, "#INCLUDE ..\\GOOD.DEF"}));
  }
}

// With a base folder, a relative include path is found there, wherever the
// process runs; "..\" still stands for the program's folder.
TEST_F(ExternalDefinitions, RelativePathsInTheBaseFolder) {
  fs::create_directories(dir / "SRC" / "DEF");
  test::WriteFile(dir / "SRC" / "DEF" / "COMMON.DEF", "$AA 1\r\n");
  test::WriteFile(dir / "HOME.DEF", "$BB 2\r\n");
  StageHarness h({"#INCLUDE DEF\\COMMON.DEF", "#INCLUDE ..\\HOME.DEF"});
  h.run.IncludeBaseFolder = dir / "SRC";
  EXPECT_EQ(RunBoth(h, dir.path()), StageEnd::Continue);
  EXPECT_EQ(Table(h.run), (std::vector<std::string>{"AA=1@1", "BB=2@1"}));
  EXPECT_EQ(h.run.DefinitionTable[0].SourceFile, PathToUtf8(dir / "SRC" / "DEF" / "COMMON.DEF"));

  StageHarness missing({"#INCLUDE DEF\\NONE.DEF"});
  missing.run.IncludeBaseFolder = dir / "SRC";
  EXPECT_EQ(RunBoth(missing, dir.path()), StageEnd::EndRun);
  EXPECT_EQ(missing.frame.Messages(),
            (std::vector<std::string>{PathToUtf8(dir / "SRC" / "DEF" / "NONE.DEF") +
                                      " が見つかりません。\nコンパイルを中止します。"}));
}

// An include keyword the line summaries cannot describe is found on lines
// whose summary is empty: the named file is missing, so the run stops.
TEST_F(ExternalDefinitions, KeywordTheSummaryCannotDescribe) {
  for (const std::string keyword : {"G", "&", "0X"}) {
    StageHarness h({"M30", keyword + "1"});
    h.options.DefName = keyword;
    EXPECT_EQ(RunBoth(h, dir.path()), StageEnd::EndRun) << keyword;
    EXPECT_EQ(h.frame.Messages(),
              (std::vector<std::string>{PathToUtf8(fs::absolute("1")) + " が見つかりません。\nコンパイルを中止します。"}))
        << keyword;
  }
}

}  // namespace
}  // namespace vostrel
