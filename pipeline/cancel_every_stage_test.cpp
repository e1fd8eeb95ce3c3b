// A cancel request at the start of every stage of the real stage order, in
// turn: the stage under way finishes, the run ends at the next cancel
// check with " -- 中止 --" as its last log line, and the text is what the
// stages up to that one made of it. The tidy-up has no cancel check, so a
// request there no longer stops the run.

#include <gtest/gtest.h>

#include <algorithm>

#include "pipeline/compile.h"
#include "pipeline/compile_run.h"
#include "pipeline/headless_frame.h"
#include "pipeline/stage_table.h"
#include "tests/test_support.h"

namespace vostrel {
namespace {

// Sets the cancel flag when the log line `trigger` is appended, as Ctrl-C
// or the cancel button would while that stage runs.
class CancellingFrame : public HeadlessFrame {
 public:
  CancellingFrame(CompileRun& run, std::string trigger) : HeadlessFrame(run), trigger_(std::move(trigger)) {}

 protected:
  void LogAppended(const std::string& line) override {
    HeadlessFrame::LogAppended(line);
    if (line == trigger_) Run().CancelFlag = true;
  }

 private:
  std::string trigger_;
};

// A source that makes every stage run and change something.
class CancelEveryStage : public ::testing::Test {
 protected:
  void SetUp() override {
    options_.EndChar = "Y";
    options_.chg16_10 = "Y";
    options_.Chg_MacroA = "Y";
    options_.End_set = "Y";
    test::WriteFile(dir_ / "COMMON.DEF", "$XO 100.\r\n$TOOL T01 M06\r\n");
    test::WriteFile(dir_ / "ChkData.lst", "G\r\nM\r\nT\r\nGOTO\r\nIF\r\nGT\r\n");
    test::WriteFile(dir_ / "src.nc",
                    "\r\n%\r\nO1000 ; program\r\n#INCLUDE ..\\COMMON.DEF\r\n$FEED 200\r\n$C 7\r\n"
                    "\tTOOL\r\ng00 xXO y0x1F\r\n#IF MILL\r\nG01 X1. FFEED\r\n#END\r\n"
                    "#1=#2+C\r\nIF[#1GT#2]GOTO10\r\n#3000=1(ALARM)\r\n[(1)\r\nM30\r\n%\r\n");
  }

  // Loads the source into a fresh run.
  void Load(CompileRun& run, HeadlessFrame& frame) {
    run.ExeDir = dir_.path();
    run.WordListPath = dir_ / "ChkData.lst";
    run.RunArguments[0] = "MILL";
    ASSERT_TRUE(LoadSource(dir_ / "src.nc", run, frame, platform::Pipes::Read));
  }

  RunOptions options_;
  test::TempDir dir_;
};

bool Contains(const std::vector<std::string>& log, const std::string& line) {
  return std::find(log.begin(), log.end(), line) != log.end();
}

TEST_F(CancelEveryStage, EndsAfterTheStageUnderWay) {
  const auto stages = StageOrder();
  {
    // Without a request every stage runs, so every case below is reached.
    CompileRun run(options_);
    HeadlessFrame frame(run);
    Load(run, frame);
    ASSERT_EQ(RunStages(run, frame), RunResult::Completed);
    for (const StageEntry& stage : stages)
      ASSERT_TRUE(Contains(run.RunLog, std::string(stage.logName) + " -- 開始")) << stage.logName;
  }

  for (std::size_t i = 0; i < stages.size(); ++i) {
    const std::string name(stages[i].logName);
    SCOPED_TRACE(name);
    CompileRun run(options_);
    CancellingFrame frame(run, name + " -- 開始");
    Load(run, frame);
    const RunResult result = RunStages(run, frame);
    EXPECT_TRUE(run.CancelFlag);

    if (stages[i].after == AfterStage::None) {
      // The tidy-up: too late, the run completes.
      EXPECT_EQ(result, RunResult::Completed);
      EXPECT_EQ(run.RunLog.back(), "--- ｺﾝﾊﾟｲﾙ 完了 ---");
      EXPECT_TRUE(frame.Messages().empty());
      continue;
    }

    EXPECT_EQ(result, RunResult::Cancelled);
    EXPECT_EQ(frame.RunOutcome(), StageFrame::Outcome::Cancelled);
    ASSERT_FALSE(run.RunLog.empty());
    EXPECT_EQ(run.RunLog.back(), " -- 中止 --");
    EXPECT_EQ(std::count(run.RunLog.begin(), run.RunLog.end(), " -- 中止 --"), 1);
    EXPECT_EQ(frame.Messages(), (std::vector<std::string>{"コンパイルを中止します。"}));
    EXPECT_FALSE(Contains(run.RunLog, "--- ｺﾝﾊﾟｲﾙ 完了 ---"));
    for (std::size_t later = i + 1; later < stages.size(); ++later)
      EXPECT_FALSE(Contains(run.RunLog, std::string(stages[later].logName) + " -- 開始"))
          << stages[later].logName << " started after the cancel";

    if (i == 0) {
      // The line-ending conversion checks once inside, after deleting the
      // CR bytes: the request stops it there, with the text one line.
      EXPECT_FALSE(Contains(run.RunLog, name + " -- 完了"));
      EXPECT_EQ(run.RunLog[run.RunLog.size() - 2].rfind("改行ｺｰﾄﾞ削除 -- ", 0), 0u);
      EXPECT_EQ(run.WorkLines.size(), 1u);
      continue;
    }

    // The stage finished ("完了", then its summary and the empty line), and
    // the text is exactly what the stages up to it make of the source.
    // The Macro A loop lets no events run, so the window notices a press
    // during it only later; a request made during it here (a signal sets
    // the flag at once) is seen at the check right after it.
    EXPECT_TRUE(Contains(run.RunLog, name + " -- 完了"));
    EXPECT_EQ(run.RunLog[run.RunLog.size() - 2], "");
    CompileRun reference(options_);
    HeadlessFrame referenceFrame(reference);
    Load(reference, referenceFrame);
    ASSERT_EQ(RunStages(reference, referenceFrame, stages.first(i + 1)), RunResult::Completed);
    EXPECT_EQ(run.WorkLines, reference.WorkLines);
  }
}

// A request before the first stage ends the run at the check after the log
// header: no stage starts.
TEST_F(CancelEveryStage, RequestBeforeTheFirstStage) {
  CompileRun run(options_);
  CancellingFrame frame(run, "----- ﾛｸﾞ -----");
  Load(run, frame);
  const TextLines loaded = run.WorkLines;
  EXPECT_EQ(RunStages(run, frame), RunResult::Cancelled);
  EXPECT_EQ(run.RunLog, (std::vector<std::string>{"----- ﾛｸﾞ -----", " -- 中止 --"}));
  EXPECT_EQ(run.WorkLines, loaded);
}

}  // namespace
}  // namespace vostrel

namespace vostrel {
namespace {

// A front end that streams the log (vostrelc) keeps no copy of it; the
// lines it receives, a cancel end's included, are those a kept log holds.
using StreamedLog = CancelEveryStage;

TEST_F(StreamedLog, ReachesTheSinkWithoutACopy) {
  for (const char* trigger : {"", "構文ﾁｪｯｸ -- 開始"}) {
    CompileRun kept(options_);
    CancellingFrame keptFrame(kept, trigger);
    Load(kept, keptFrame);
    const RunResult keptResult = RunStages(kept, keptFrame);

    CompileRun streamed(options_);
    CancellingFrame frame(streamed, trigger);
    frame.SetKeepLog(false);
    std::vector<std::string> sink;
    frame.SetLogSink([&sink](const std::string& line) { sink.push_back(line); });
    Load(streamed, frame);
    EXPECT_EQ(RunStages(streamed, frame), keptResult) << trigger;
    EXPECT_TRUE(streamed.RunLog.empty());
    EXPECT_EQ(sink, kept.RunLog) << trigger;
    EXPECT_EQ(streamed.WorkLines, kept.WorkLines);
  }
}

}  // namespace
}  // namespace vostrel
