// 小文字から大文字変換: ASCII a-z become A-Z in the whole program;
// double-byte characters stay byte for byte.

#include "pipeline/compile_run.h"
#include "pipeline/stage_frame.h"
#include "pipeline/stages/stages.h"
#include "text/sjis.h"

namespace vostrel {

StageEnd RunUpperCase(CompileRun& run, StageFrame& frame) {
  frame.SetProgress(0);
  frame.AppendLog("小文字から大文字変換 -- 開始");
  frame.ShowActivity("小文字から大文字変換中");
  // Upper-casing the whole text and setting it back, done line by line in
  // place: the bytes keep their places and CR and LF are never changed, so
  // the text splits at the same CR LF pairs; every line starts a character
  // (the LF before it is no lead byte) and a lead byte at the end of a line
  // is followed by CR, which is no trail byte, both in the line and in the
  // whole text. The one line the set-back does not restore is a single
  // empty line: the empty whole text sets back as no lines.
  bool changed = false;
  for (std::size_t i = 0; i < run.WorkLines.size(); ++i) {
    const LineSummary summary = run.WorkLines.summary(i);
    if ((summary & kHoldsLowerCase) && sjis::MayHoldLowerCase(run.WorkLines[i])) {
      sjis::UpperCaseInPlace(run.WorkLines.bytes(i));
      run.WorkLines.resummarise(i);
      changed = true;
    }
  }
  if (run.WorkLines.size() == 1 && run.WorkLines.front().empty()) {
    run.ClearLines();
    changed = true;
  }
  if (changed) frame.WorkTextReplaced();
  frame.AppendLog("小文字から大文字変換 -- 完了");
  frame.AppendLog("");
  return StageEnd::Continue;
}

}  // namespace vostrel
