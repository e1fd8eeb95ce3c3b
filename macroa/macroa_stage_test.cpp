// The Macro A stage: which lines it rewrites, its log, its place in a run.

#include <gtest/gtest.h>

#include <algorithm>
#include <span>

#include "macroa/macroa_stage.h"
#include "pipeline/compile.h"
#include "pipeline/headless_frame.h"
#include "pipeline/stage_table.h"
#include "pipeline/stages/stages.h"
#include "tests/test_support.h"

namespace vostrel {
namespace {

using test::StageHarness;
using Log = std::vector<std::string>;

const Log kStageLog = {"ﾏｸﾛAに変換 -- 開始", "ﾏｸﾛAに変換 -- 完了", ""};

TEST(MacroAStage, RewritesEachKindOfLine) {
  struct Case {
    std::string before, after;
  };
  const Case cases[] = {
      {"#3000=1(TOOL BROKEN)", "G65H99P1(TOOL BROKEN)"},
      {"N20#3000=15", "N20G65H99P15"},
      {"G01X10.Y20.F100", "G01X10.Y20.F100"},
      {"WHILE[#1LT10]DO1", "WHILE[#1LT10]DO1"},
      {"N30GOTO100", "N30G65H80P100"},
      {"#5=#6+#7", "G65H02P#5Q#6R#7"},
      {"(SET #1=0)", "(SET G65H01P#1Q0)"},
      {"", ""},
      // priority: an alarm before a branch before an assignment
      {"#3000=1GOTO5", "G65H99P1GOTO5"},
      {"#3000=#1+#2", "G65H99P#1+#2"},
      {"N1#1=2GOTO5", "N1#1=2G65H80P5"},
      {"IF[#1EQ#2]GOTO10(#1=0)", "G65H81P10(#1=0)Q#1R#2"},
      {"#3000=1#3000=2", "G65H99P1#3000=2"},
  };
  TextLines before, after;
  for (const auto& c : cases) {
    before.push_back(c.before);
    after.push_back(c.after);
  }
  StageHarness h(before);
  h.options.Chg_MacroA = "Y";
  EXPECT_EQ(RunMacroAStage(h.run, h.frame), StageEnd::Continue);
  for (std::size_t i = 0; i < after.size(); ++i)
    EXPECT_EQ(h.run.WorkLines[i], after[i]) << "line " << i + 1 << ": " << before[i];
  EXPECT_EQ(h.run.RunLog, kStageLog);
}

TEST(MacroAStage, EmptyTextLogsOnlyStartAndEnd) {
  StageHarness h;
  EXPECT_EQ(RunMacroAStage(h.run, h.frame), StageEnd::Continue);
  EXPECT_TRUE(h.run.WorkLines.empty());
  EXPECT_EQ(h.run.RunLog, kStageLog);
}

// The working view is refreshed once after the loop, and only for a change.
TEST(MacroAStage, RefreshesTheViewOnceWhenSomethingChanged) {
  class CountingFrame : public HeadlessFrame {
   public:
    using HeadlessFrame::HeadlessFrame;
    void WorkTextReplaced() override { ++refreshes; }
    int refreshes = 0;
  };
  struct Case {
    TextLines lines;
    int refreshes;
  };
  const Case cases[] = {
      {{"#1=#2", "GOTO5", "#3000=1"}, 1},
      {{"G01X1.", "M30"}, 0},
      {{"IF[#1]GOTO10"}, 0},  // handed to a converter, which leaves it alone
      {{}, 0},
  };
  for (const auto& c : cases) {
    RunOptions options;
    CompileRun run(options);
    run.WorkLines = c.lines;
    run.CountLines();
    CountingFrame frame(run);
    RunMacroAStage(run, frame);
    EXPECT_EQ(frame.refreshes, c.refreshes) << c.lines.size() << " lines";
  }
}

TEST(MacroAStage, ConvertMacroALineLeavesOtherLinesAlone) {
  EXPECT_FALSE(ConvertMacroALine("G01X10.Y20.F100").has_value());
  EXPECT_FALSE(ConvertMacroALine("").has_value());
  EXPECT_FALSE(ConvertMacroALine("#3000").has_value());
  EXPECT_EQ(ConvertMacroALine("#1=#2").value_or("-"), "G65H01P#1Q#2");
}

// The Macro A row of the stage order, to run it alone through the driver.
std::span<const StageEntry> MacroARow() {
  const auto order = StageOrder();
  const auto row = std::find_if(order.begin(), order.end(), [](const StageEntry& stage) {
    return stage.logName == "ﾏｸﾛAに変換";
  });
  EXPECT_NE(row, order.end());
  return row == order.end() ? order.subspan(0, 0) : order.subspan(row - order.begin(), 1);
}

// Only the exact option text "Y" switches the stage on.
TEST(MacroAStage, RunsOnlyWhenTheOptionIsExactlyY) {
  struct Case {
    std::string option;
    bool runs;
  };
  const Case cases[] = {{"Y", true}, {"N", false}, {"y", false}, {"", false}, {"Y ", false}};
  for (const auto& c : cases) {
    RunOptions options;
    options.Chg_MacroA = c.option;
    CompileRun run(options);
    run.WorkLines = {"#3000=2"};
    run.CountLines();  // as comment removal leaves it
    HeadlessFrame frame(run);
    ASSERT_EQ(RunStages(run, frame, MacroARow()), RunResult::Completed) << c.option;
    EXPECT_EQ(run.WorkLines, (TextLines{c.runs ? "G65H99P2" : "#3000=2"})) << c.option;
    Log expected = {"----- ﾛｸﾞ -----"};
    if (c.runs) expected.insert(expected.end(), kStageLog.begin(), kStageLog.end());
    expected.push_back("--- ｺﾝﾊﾟｲﾙ 完了 ---");
    EXPECT_EQ(run.RunLog, expected) << c.option;
  }
}

// The stage comes after space removal and before the tidy-up.
TEST(MacroAStage, SitsBetweenSpaceRemovalAndTidyUp) {
  std::vector<std::string_view> names;
  for (const auto& stage : StageOrder()) names.push_back(stage.logName);
  const auto at = [&](std::string_view name) { return std::find(names.begin(), names.end(), name); };
  const auto macroA = at("ﾏｸﾛAに変換");
  ASSERT_NE(macroA, names.end());
  ASSERT_NE(at("ｽﾍﾟｰｽ削除"), names.end());
  EXPECT_EQ(at("ｽﾍﾟｰｽ削除") + 1, macroA);
  EXPECT_EQ(macroA + 1, at("ﾃﾞｰﾀ整理"));
  const StageEntry& row = StageOrder()[static_cast<std::size_t>(macroA - names.begin())];
  EXPECT_EQ(row.after, AfterStage::CancelCheck);
  EXPECT_EQ(row.run, &RunMacroAStage);
}

// A frame that requests a cancel when a given line is logged.
class CancellingFrame : public HeadlessFrame {
 public:
  CancellingFrame(CompileRun& run, std::string trigger)
      : HeadlessFrame(run), trigger_(std::move(trigger)) {}

 protected:
  void LogAppended(const std::string& line) override {
    if (line == trigger_) Run().CancelFlag = true;
  }

 private:
  std::string trigger_;
};

// A cancel pressed while the stage runs lets it finish; the check after the
// stage then ends the run.
TEST(MacroAStage, CancelIsNoticedAfterTheStage) {
  RunOptions options;
  options.Chg_MacroA = "Y";
  CompileRun run(options);
  run.WorkLines = {"#1=#2"};
  run.CountLines();
  CancellingFrame frame(run, "ﾏｸﾛAに変換 -- 開始");
  EXPECT_EQ(RunStages(run, frame, MacroARow()), RunResult::Cancelled);
  EXPECT_EQ(run.WorkLines, (TextLines{"G65H01P#1Q#2"}));
  EXPECT_EQ(run.RunLog, (Log{"----- ﾛｸﾞ -----", "ﾏｸﾛAに変換 -- 開始", "ﾏｸﾛAに変換 -- 完了", "",
                             " -- 中止 --"}));
}

}  // namespace
}  // namespace vostrel
