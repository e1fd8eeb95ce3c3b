// 構文ﾁｪｯｸ and the word list.

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "pipeline/stages/stages.h"
#include "platform/exe_path.h"
#include "tests/test_support.h"
#include "text/sjis.h"

namespace vostrel {
namespace {

using test::Sjis;
using test::StageHarness;
using test::TempDir;
using test::WriteFile;
using Words = WordSet;

TEST(SyntaxCheck, ReportsWordsNotOnTheList) {
  struct Case { std::string line; std::vector<std::string> messages; };
  const Case cases[] = {
      {"IF[#1EQ#2]GOTO10", {}},
      {"IF[#1EQU#2]GOTO10", {"7行目 EQU 不明"}},
      {"G01X10.Y20.F100", {}},
      {"WHILE[#1LT10]DO1", {"7行目 LT 不明"}},
      {"M98P100(CALL SUB)", {}},
      {"ABC(NOTE)", {}},  // the word before "(" is not looked up
      {"#1=#2+FOO", {"7行目 FOO 不明"}},
      {"#1=FOO+BAR+BAZ", {"7行目 FOO 不明", "7行目 BAR 不明", "7行目 BAZ 不明"}},
      {"X", {}},
      {"FOO FOO", {"7行目 FOO 不明", "7行目 FOO 不明"}},
      {"(A B)FOO+(C", {"7行目 FOO 不明"}},      // ")" ends the comment
      {"(A(B)FOO)", {"7行目 FOO 不明"}},        // nesting is not counted
      {"GOTO,1", {"7行目 GOTO, 不明"}},         // "," is a word byte
      {"END1", {}},
      {Sjis("#1=切削"), {"7行目 切削 不明"}},
      {Sjis("(切削)"), {}},
  };
  for (const auto& c : cases) {
    const Words words{"GOTO", "IF", "EQ", "WHILE", "DO", "END"};
    std::vector<std::string> actual;
    for (auto word : UnknownWords(c.line, words)) actual.push_back("7行目 " + sjis::ToUtf8(word) + " 不明");
    EXPECT_EQ(actual, c.messages) << c.line;
  }
}

// The pass over whole blocks finds a pair of word bytes wherever it stands,
// also across blocks and in the overlapping last one: random lines of the
// delimiters and some word bytes, of lengths around the block size.
TEST(SyntaxCheck, LongWordWhereverItStands) {
  const std::string_view delimiters = ".0123456789#-+/*[]= \t$()";
  const std::string_view words = "AG,\x83\x58@";
  std::mt19937 random(26);
  for (int round = 0; round < 20000; ++round) {
    std::string line(random() % 50, ' ');
    for (char& c : line) c = delimiters[random() % delimiters.size()];
    bool expected = false;
    if (!line.empty() && random() % 2) {
      const std::size_t at = random() % line.size();
      line[at] = words[random() % words.size()];
      if (at + 1 < line.size() && random() % 2) {
        line[at + 1] = words[random() % words.size()];
        expected = true;
      }
    }
    ASSERT_EQ(HasLongWord(line), expected) << line;
  }
}

TEST(SyntaxCheck, ReadsTheListAndLogs) {
  TempDir dir;
  WriteFile(dir / "ChkData.lst", "GOTO\r\nIF\r\nEQ\r\n");
  StageHarness h({"IF[#1EQ#2]GOTO10", "#1=FOO+1", "", "X", "BAR"});
  h.run.ExeDir = dir.path();
  EXPECT_EQ(RunSyntaxCheck(h.run, h.frame), StageEnd::Continue);
  EXPECT_EQ(h.run.RunLog, (std::vector<std::string>{"構文ﾁｪｯｸ -- 開始", "2行目 FOO 不明",
                                                    "5行目 BAR 不明", "構文ﾁｪｯｸ -- 完了",
                                                    "構文ｴﾗｰ数 = 2件", ""}));
  EXPECT_EQ(h.run.SyntaxErrorCount, 2);
  EXPECT_EQ(h.run.WorkLines[1], "#1=FOO+1");  // the check changes no line
}

TEST(SyntaxCheck, WordListFormat) {
  struct Case { std::string bytes; Words words; };
  const Case cases[] = {
      {"GOTO\r\nIF\r\n", {"GOTO", "IF"}},
      {"GOTO\r\nIF", {"GOTO", "IF"}},
      {"GOTO\rIF\nEQ", {"GOTO", "IF", "EQ"}},
      {"GOTO\n\nIF\n", {"GOTO", "", "IF"}},
      {"goto\r\nGOTO \r\n", {"goto", "GOTO "}},  // no case folding, no trimming
      {"", {}},
      {"\r\n", {""}},
  };
  for (const auto& c : cases) {
    TempDir dir;
    WriteFile(dir / "list", c.bytes);
    Words words{"OLD"};
    ASSERT_TRUE(ReadCheckWordList(dir / "list", words));
    EXPECT_EQ(words, c.words) << c.bytes;
  }
}

TEST(SyntaxCheck, EntriesMatchWholeUpperCaseWords) {
  TempDir dir;
  WriteFile(dir / "ChkData.lst", "goto\r\nIF \r\nEQ");
  StageHarness h({"IF[#1EQ#2]GOTO10"});
  h.run.WordListPath = dir / "ChkData.lst";
  h.run.ExeDir = "/nonexistent";
  RunSyntaxCheck(h.run, h.frame);
  EXPECT_EQ(h.run.SyntaxErrorCount, 2);
  EXPECT_EQ(h.run.RunLog[1], "1行目 IF 不明");
  EXPECT_EQ(h.run.RunLog[2], "1行目 GOTO 不明");
}

TEST(SyntaxCheck, UnreadableListStopsTheRun) {
  TempDir dir;
  std::filesystem::create_directory(dir / "ChkData.lst");
  const std::filesystem::path paths[] = {dir / "missing.lst", dir / "ChkData.lst"};
  for (const auto& path : paths) {
    StageHarness h({"IF[#1EQ#2]GOTO10"});
    h.run.WordListPath = path;
    EXPECT_EQ(RunSyntaxCheck(h.run, h.frame), StageEnd::EndRun);
    EXPECT_EQ(h.frame.RunOutcome(), StageFrame::Outcome::Aborted);
    EXPECT_EQ(h.run.RunLog, (std::vector<std::string>{"構文ﾁｪｯｸ -- 中止"}));
    ASSERT_EQ(h.frame.Messages().size(), 1u);
    EXPECT_EQ(h.frame.Messages()[0],
              path.string() + " が読み込めません。\nコンパイルを中止します。");
  }
  StageHarness h({"A"});
  h.run.ExeDir = dir / "nowhere";
  EXPECT_EQ(RunSyntaxCheck(h.run, h.frame), StageEnd::EndRun);
  EXPECT_EQ(h.frame.Messages()[0], (dir / "nowhere" / "ChkData.lst").string() +
                                       " が読み込めません。\nコンパイルを中止します。");
}

// The shipped list knows the words of real custom-macro programs: after
// comments and case are dealt with, nothing in them is unknown.
TEST(SyntaxCheck, ShippedListKnowsRealMacroPrograms) {
  const auto corpus = test::CorpusDir();
  if (!corpus) GTEST_SKIP() << "no corpus of real NC programs in this clone";
  Words words;
  ASSERT_TRUE(ReadCheckWordList(platform::ExecutableDir() / "ChkData.lst", words))
      << "the shipped ChkData.lst is not beside the test program";
  const char* files[] = {"cnc-fanuc-macros__9250-DynamicOffsetRotation.nc", "r_cod2__O00001.nc",
                         "r_cod2__O00012.nc", "r_cod2__O00025.nc", "ncvc-scripts__macro_sample.ncd",
                         "ddcs-expert-skill__SPINDLE_WARMUP.nc"};
  for (const char* name : files) {
    std::ifstream in(*corpus / name, std::ios::binary);
    ASSERT_TRUE(in) << name;
    int lineNumber = 0;
    for (std::string line; std::getline(in, line);) {
      ++lineNumber;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      line = StripComment(line);
      sjis::UpperCaseInPlace(line);
      for (auto word : UnknownWords(line, words))
        ADD_FAILURE() << name << ":" << lineNumber << ": " << word;
    }
  }
}

// A word list that cannot be read because the process is out of file
// descriptors is the system's fault, not the list's: the stop is a file
// error. A missing list is the list's.
TEST(SyntaxCheck, OutOfFileDescriptorsIsNoFaultOfTheWordList) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "the sanitizers' runtime needs file descriptors of its own in the child";
#endif
  TempDir dir;
  WriteFile(dir / "list", "G00\r\n");
  // In a child whose every further open fails with EMFILE. Exit 0: the
  // stop is a file error; 1: an input error; 2: the list was read.
  auto stopInChild = [](const std::filesystem::path& list, bool exhaust) {
    const pid_t child = fork();
    if (child == 0) {
      if (exhaust) {
        const int lowest = dup(0);
        close(lowest);
        const rlimit none{static_cast<rlim_t>(lowest), static_cast<rlim_t>(lowest)};
        if (setrlimit(RLIMIT_NOFILE, &none) != 0) _exit(3);
      }
      StageHarness h({"G00"});
      h.run.WordListPath = list;
      if (RunSyntaxCheck(h.run, h.frame) != StageEnd::EndRun) _exit(2);
      _exit(h.frame.StopIsFileError() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(stopInChild(dir / "list", true), 0);
  EXPECT_EQ(stopInChild(dir / "missing", false), 1);
  EXPECT_EQ(stopInChild(dir / "list", false), 2);
}

}  // namespace
}  // namespace vostrel
