// Line endings, comments and tabs.

#include <gtest/gtest.h>

#include "pipeline/compile.h"
#include "pipeline/stage_table.h"
#include "pipeline/stages/stages.h"
#include "tests/test_support.h"

namespace vostrel {
namespace {

using test::StageHarness;

TEST(StripComment, CutsAtFirstSemicolon) {
  struct Case { std::string line, expected; };
  const Case cases[] = {
      {"G01 X10 ;feed", "G01 X10 "},
      {";whole line comment", " "},
      {"#1=2;;x", "#1=2"},
      {"G00 X0", "G00 X0"},
      {"(\x90\xd8\x8d\xed) M30", "(\x90\xd8\x8d\xed) M30"},
      {"", ""},
      {";", " "},
  };
  for (const auto& c : cases) EXPECT_EQ(StripComment(c.line), c.expected) << c.line;
}

TEST(CommentRemoval, RewritesOnlyLinesWithComments) {
  StageHarness h({"G01 X10 ;feed", ";only", "M30", "(\x90\xd8)"});
  RunCommentRemoval(h.run, h.frame);
  EXPECT_EQ(h.run.WorkLines, (TextLines{"G01 X10 ", " ", "M30", "(\x90\xd8)"}));
  EXPECT_EQ(h.run.RunLog, (std::vector<std::string>{"ｺﾒﾝﾄ削除 -- 開始", "ｺﾒﾝﾄ削除 -- 完了", ""}));
}

TEST(TabReplacement, EachTabBecomesOneSpace) {
  StageHarness h({"X\tY", "A\t\tB", "none"});
  RunTabReplacement(h.run, h.frame);
  EXPECT_EQ(h.run.WorkLines, (TextLines{"X Y", "A  B", "none"}));
}

TEST(LineEndingConversion, CountsAndSplits) {
  struct Case { TextLines before, after; std::string removed, replaced; };
  const Case cases[] = {
      {{"A", "B", "C"}, {"A", "B", "C"}, "000001", "00003"},
      {{"A\nB\nC"}, {"A", "B", "C"}, "000001", "00003"},
      {{"A\rB"}, {"AB"}, "000001", "00001"},
      {{"A\r\nB"}, {"A", "B"}, "000001", "00002"},
      {{}, {}, "000000", "00000"},
      {{"", ""}, {"", ""}, "000001", "00002"},
  };
  for (const auto& c : cases) {
    StageHarness h(c.before);
    EXPECT_EQ(RunLineEndingConversion(h.run, h.frame), StageEnd::Continue);
    EXPECT_EQ(h.run.WorkLines, c.after);
    EXPECT_EQ(h.run.RunLog, (std::vector<std::string>{"改行ｺｰﾄﾞ変換 -- 開始",
                                                      "改行ｺｰﾄﾞ削除 -- " + c.removed,
                                                      "改行ｺｰﾄﾞ置換 -- " + c.replaced,
                                                      "改行ｺｰﾄﾞ変換 -- 完了", ""}));
  }
}

TEST(LineEndingConversion, CancelBetweenItsSteps) {
  StageHarness h({"A\nB"});
  h.run.CancelFlag = true;
  EXPECT_EQ(RunLineEndingConversion(h.run, h.frame), StageEnd::EndRun);
  EXPECT_EQ(h.run.RunLog.back(), " -- 中止 --");
  EXPECT_EQ(h.run.RunLog[1], "改行ｺｰﾄﾞ削除 -- 000001");
  EXPECT_EQ(h.frame.RunOutcome(), StageFrame::Outcome::Cancelled);
}

// A frame that requests a cancel while a given stage logs its start.
class CancellingFrame : public HeadlessFrame {
 public:
  CancellingFrame(CompileRun& run, std::string trigger) : HeadlessFrame(run), trigger_(std::move(trigger)) {}

 protected:
  void LogAppended(const std::string& line) override {
    if (line == trigger_) Run().CancelFlag = true;
  }

 private:
  std::string trigger_;
};

TEST(CompileRun, CancelDuringCommentRemovalLetsItFinish) {
  RunOptions options;
  CompileRun run(options);
  run.WorkLines = {"G00 ;x"};
  CancellingFrame frame(run, "ｺﾒﾝﾄ削除 -- 開始");
  EXPECT_EQ(RunStages(run, frame), RunResult::Cancelled);
  EXPECT_EQ(run.RunLog, (std::vector<std::string>{"----- ﾛｸﾞ -----", "ｺﾒﾝﾄ削除 -- 開始",
                                                  "ｺﾒﾝﾄ削除 -- 完了", "", " -- 中止 --"}));
  EXPECT_EQ(run.WorkLines, (TextLines{"G00 "}));
  ASSERT_EQ(frame.Messages().size(), 1u);
  EXPECT_EQ(frame.Messages()[0], "コンパイルを中止します。");
}

TEST(CompileRun, LinesPastTheEndReadEmptyAndIgnoreWrites) {
  StageHarness h({"A"});
  h.run.LineCount = 3;
  EXPECT_EQ(h.run.Line(2), "");
  h.run.SetLine(3, "X");
  EXPECT_EQ(h.run.WorkLines.size(), 1u);
  EXPECT_EQ(h.run.Line(0), "");
}

TEST(StageOrder, NamesAreUniqueAndInOrder) {
  std::vector<std::string_view> names;
  for (const auto& stage : StageOrder()) names.push_back(stage.logName);
  ASSERT_GE(names.size(), 3u);
  EXPECT_EQ(names[0], "改行ｺｰﾄﾞ変換");
  EXPECT_EQ(names[1], "ｺﾒﾝﾄ削除");
  EXPECT_EQ(names[2], "タブ削除");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end());
}

}  // namespace
}  // namespace vostrel

namespace vostrel {
namespace {

StageEnd ThrowingStage(CompileRun&, StageFrame&) { throw std::runtime_error("disk on fire"); }
StageEnd AppendingStage(CompileRun& run, StageFrame&) {
  run.WorkLines.push_back("ran");
  return StageEnd::Continue;
}
bool Never(const CompileRun&) { return false; }

TEST(CompileRun, FailureInsideAStageEndsTheRunCleanly) {
  const StageEntry stages[] = {
      {"skipped", Never, AppendingStage, AfterStage::CancelCheck},
      {"壊れた段", nullptr, ThrowingStage, AfterStage::CancelCheck},
      {"never reached", nullptr, AppendingStage, AfterStage::None},
  };
  test::StageHarness h;
  EXPECT_EQ(RunStages(h.run, h.frame, stages), RunResult::Aborted);
  EXPECT_TRUE(h.run.WorkLines.empty());
  EXPECT_EQ(h.run.RunLog.back(), "壊れた段 -- 中止");
  ASSERT_EQ(h.frame.Messages().size(), 1u);
  EXPECT_NE(h.frame.Messages()[0].find("disk on fire"), std::string::npos);
  EXPECT_EQ(h.frame.RunOutcome(), StageFrame::Outcome::Aborted);
}

TEST(CompileRun, CompletionLogsItsLastLine) {
  const StageEntry stages[] = {{"one", nullptr, AppendingStage, AfterStage::CancelCheck}};
  test::StageHarness h;
  EXPECT_EQ(RunStages(h.run, h.frame, stages), RunResult::Completed);
  EXPECT_EQ(h.run.RunLog, (std::vector<std::string>{"----- ﾛｸﾞ -----", "--- ｺﾝﾊﾟｲﾙ 完了 ---"}));
  EXPECT_EQ(h.run.WorkLines, (TextLines{"ran"}));
}

}  // namespace
}  // namespace vostrel
