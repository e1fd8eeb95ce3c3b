// ﾃﾞｰﾀ整理.

#include <gtest/gtest.h>

#include "pipeline/compile.h"
#include "pipeline/stage_table.h"
#include "pipeline/stages/stages.h"
#include "tests/test_support.h"

namespace vostrel {
namespace {

using test::StageHarness;

TEST(TidyUp, DeletesEmptyLinesAsEndSetSays) {
  struct Case { std::string endSet; TextLines before, after; };
  const Case cases[] = {
      {"N", {"%", "", "O1000", "", "G00X0", "", "M30", "%"}, {"%", "O1000", "G00X0", "M30", "%"}},
      {"Y", {"", "", "O1000", "", "M30", ""}, {"O1000", "", "M30", ""}},
      {"Y", {"O1000", "", "M30"}, {"O1000", "", "M30"}},
      {"y", {"", "O1000", ""}, {"", "O1000", ""}},
      {"Y", {"", ""}, {}},
      {"N", {"", ""}, {}},
      {"N", {}, {}},
      {"N", {"\x01", " ", ""}, {"\x01", " "}},  // only lines of zero bytes are empty
      {"", {"", "A"}, {"", "A"}},
  };
  for (const auto& c : cases) {
    StageHarness h(c.before);
    h.options.End_set = c.endSet;
    h.run.LineCount = 0;  // counted afresh by the stage
    EXPECT_EQ(RunTidyUp(h.run, h.frame), StageEnd::Continue);
    EXPECT_EQ(h.run.WorkLines, c.after) << c.endSet << " " << c.before.size();
    EXPECT_EQ(h.run.RunLog, (std::vector<std::string>{"ﾃﾞｰﾀ整理 -- 開始", "ﾃﾞｰﾀ整理 -- 完了", ""}));
  }
}

// A frame that requests a cancel while the tidy-up runs.
class CancellingFrame : public HeadlessFrame {
 public:
  using HeadlessFrame::HeadlessFrame;

 protected:
  void LogAppended(const std::string& line) override {
    if (line == "ﾃﾞｰﾀ整理 -- 開始") Run().CancelFlag = true;
  }
};

TEST(TidyUp, HasNoCancelCheck) {
  const auto stages = StageOrder();
  ASSERT_FALSE(stages.empty());
  EXPECT_EQ(stages.back().logName, "ﾃﾞｰﾀ整理");
  RunOptions options;
  CompileRun run(options);
  run.WorkLines = {"A", "", "B"};
  CancellingFrame frame(run);
  EXPECT_EQ(RunStages(run, frame, stages.last(1)), RunResult::Completed);
  EXPECT_EQ(run.WorkLines, (TextLines{"A", "B"}));
  EXPECT_EQ(run.RunLog.back(), "--- ｺﾝﾊﾟｲﾙ 完了 ---");
}

}  // namespace
}  // namespace vostrel
