// タブ削除: every TAB becomes exactly one space.

#include <algorithm>
#include <cstring>
#include <span>

#include "pipeline/compile_run.h"
#include "pipeline/stage_frame.h"
#include "pipeline/stages/stages.h"

namespace vostrel {

StageEnd RunTabReplacement(CompileRun& run, StageFrame& frame) {
  frame.AppendLog("タブ削除 -- 開始");
  frame.ShowActivity("タブ削除中");
  // TAB is never part of a double-byte character and a replacement of one
  // byte by one byte cannot join or split lines, so replacing it line by
  // line in place is the whole-text replacement without the copies.
  bool changed = false;
  for (std::size_t i = 0; i < run.WorkLines.size(); ++i) {
    const LineSummary summary = run.WorkLines.summary(i);
    if (!(summary & kHoldsTab)) continue;
    const std::span<char> line = run.WorkLines.bytes(i);
    if (!std::memchr(line.data(), '\t', line.size())) {
      run.WorkLines.set_summary(i, summary);
      continue;
    }
    std::replace(line.begin(), line.end(), '\t', ' ');
    // Both are delimiters to every stage: no pair of bytes changes.
    run.WorkLines.set_summary(i, (summary & ~kHoldsTab) | kHoldsSpace);
    changed = true;
  }
  if (changed) frame.WorkTextReplaced();
  frame.AppendLog("タブ削除 -- 完了");
  frame.AppendLog("");
  return StageEnd::Continue;
}

}  // namespace vostrel
