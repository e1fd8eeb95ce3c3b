// ﾏｸﾛAに変換: alarms, branches and assignments become G65 H-code calls.
// The loop shows no progress text and lets no window events run; only the
// current line is highlighted.

#include "macroa/macroa_stage.h"

#include "macroa/arithmetic.h"
#include "macroa/branch.h"
#include "macroa/take.h"
#include "pipeline/compile_run.h"
#include "pipeline/stage_frame.h"
#include "pipeline/stages/line_walk.h"
#include "pipeline/stages/stages.h"

namespace vostrel {

namespace {
constexpr std::string_view kAlarm = "#3000=";
}  // namespace

std::string ConvertAlarmLine(std::string_view s) {
  std::string out;
  ConvertAlarmLine(s, out);
  return out;
}

void ConvertAlarmLine(std::string_view s, std::string& out) {
  using macroa::Pos;
  using macroa::Take;
  const Pos p = macroa::Find(s, kAlarm);
  if (p == 0) {
    out.assign(s);
    return;
  }
  const Pos L = static_cast<Pos>(s.size());
  const std::string_view before = Take(s, 1, p - 1), after = Take(s, p + 6, L - p - 5);
  out.clear();
  out.reserve(before.size() + 7 + after.size());
  out.append(before).append("G65H99P").append(after);
}

std::optional<std::string> ConvertMacroALine(std::string_view s) {
  std::string out;
  if (!ConvertMacroALine(s, out)) return std::nullopt;
  return out;
}

bool ConvertMacroALine(std::string_view s, std::string& out) {
  // Each form's marker looked for only when its bytes occur.
  const macroa::LineBytes bytes(s);
  if (macroa::Find(s, bytes, kAlarm) != 0) {
    ConvertAlarmLine(s, out);
  } else if (macroa::Find(s, bytes, "GOTO") != 0) {
    ConvertBranchLine(s, bytes, out);
  } else if (bytes.MayHold(macroa::Keyword("=").bytes)) {
    ConvertArithmeticLine(s, bytes, out);
  } else {
    return false;
  }
  return true;
}

StageEnd RunMacroAStage(CompileRun& run, StageFrame& frame) {
  frame.StartProgress(run.LineCount);
  frame.AppendLog("ﾏｸﾛAに変換 -- 開始");
  frame.ShowActivity("マクロＡに変換中");
  frame.HighlightLine(1);
  bool changed = false;
  std::string converted;  // keeps its room from line to line
  // Each form holds "=" or the "T" of "GOTO".
  WalkLinesHolding(
      run, kHoldsEquals | kHoldsT, [&](std::int32_t n) { frame.HighlightLine(n); },
      [&](std::int32_t n) {
        if (ConvertMacroALine(run.Line(n), converted)) {
          changed = changed || converted != run.Line(n);
          // "Look at the line itself" for any later reader: no stage after
          // this one asks what a line holds.
          run.WorkLines.assign(static_cast<std::size_t>(n - 1), converted, kHoldsAll);
        }
        return n;
      },
      [](std::int32_t) {});
  // One refresh of the working view for the whole loop.
  if (changed) frame.WorkTextReplaced();
  frame.AppendLog("ﾏｸﾛAに変換 -- 完了");
  frame.AppendLog("");
  return StageEnd::Continue;
}

}  // namespace vostrel
