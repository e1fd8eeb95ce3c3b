// タブ削除: every TAB becomes exactly one space.

#include <cstdint>
#include <cstring>
#include <span>

#include "pipeline/compile_run.h"
#include "pipeline/stage_frame.h"
#include "pipeline/stages/stages.h"

namespace vostrel {

namespace {

// Every TAB of `line` becomes a space, eight bytes a turn: a TAB byte
// becomes zero under the XOR and leaves exactly its high bit set, and
// 0x17 added to it gives the space. Returns whether there was one.
bool TabsToSpaces(std::span<char> line) {
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL, kTabs = 0x0909090909090909ULL;
  auto tabsIn = [](std::uint64_t v) {
    v ^= kTabs;
    return ~(((v & kLow7) + kLow7) | v | kLow7);
  };
  char* const p = line.data();
  const std::size_t n = line.size();
  std::uint64_t any = 0;
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t v;
    std::memcpy(&v, p + i, 8);
    const std::uint64_t tabs = tabsIn(v);
    if (tabs == 0) continue;
    any |= tabs;
    v += (tabs >> 7) * (' ' - '\t');
    std::memcpy(p + i, &v, 8);
  }
  for (; i < n; ++i) {
    if (p[i] != '\t') continue;
    p[i] = ' ';
    any = 1;
  }
  return any != 0;
}

}  // namespace

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
    if (!TabsToSpaces(run.WorkLines.bytes(i))) {
      run.WorkLines.set_summary(i, summary);
      continue;
    }
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
