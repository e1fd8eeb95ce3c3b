// 引数定義: "#IF name" ... "#END" blocks stay in the program only when the
// name is one of the words given on the command line.

#include <algorithm>
#include <cstring>

#include "pipeline/compile_run.h"
#include "pipeline/source_map.h"
#include "pipeline/stage_frame.h"
#include "pipeline/stages/line_walk.h"
#include "pipeline/stages/stages.h"
#include "text/sjis.h"

namespace vostrel {

namespace {

// Byte offset of the first `keyword` ("#IF", "#END") in `line`, or npos.
// "#" is never part of a double-byte character, and most lines have none,
// so looking for "#" first is the fast way through a long program.
std::size_t FindKeyword(std::string_view line, std::string_view keyword) {
  std::size_t at = 0;
  while (at < line.size()) {
    const void* hit = std::memchr(line.data() + at, '#', line.size() - at);
    if (!hit) break;
    at = static_cast<std::size_t>(static_cast<const char*>(hit) - line.data());
    if (line.substr(at, keyword.size()) == keyword) return at;
    ++at;
  }
  return std::string_view::npos;
}

bool HasKeyword(std::string_view line, std::string_view keyword) {
  return FindKeyword(line, keyword) != std::string_view::npos;
}

// The first line at or after `from` that holds "#END"; 0 when none does.
std::int32_t FindEndLine(const CompileRun& run, std::int32_t from) {
  for (std::int32_t m = from; m <= run.LineCount; ++m)
    if (run.MayHold(m, kHoldsHash) && HasKeyword(run.Line(m), "#END")) return m;
  return 0;
}

void Blank(CompileRun& run, std::int32_t n) {
  run.SetLine(n, {});
}

}  // namespace

std::string_view IfBlockName(std::string_view line) {
  const std::size_t at = FindKeyword(line, "#IF");
  if (at == std::string_view::npos) return {};
  std::size_t begin = at + 3;
  while (begin < line.size() && line[begin] == ' ') ++begin;
  std::size_t end = begin;
  while (end < line.size() && line[end] != ' ') ++end;
  return line.substr(begin, end - begin);
}

StageEnd RunArgumentBlocks(CompileRun& run, StageFrame& frame) {
  frame.AppendLog("引数定義 -- 開始");
  frame.StartProgress(run.LineCount);
  frame.ShowActivity("引数定義処理中");
  frame.HighlightLine(1);

  // The whole-text pre-check, line by line ("#IF" cannot span a line end);
  // no line before the first "#IF" line needs looking at again.
  std::int32_t first = 1;
  while (first <= run.LineCount && !(run.MayHold(first, kHoldsHash) && HasKeyword(run.Line(first), "#IF")))
    ++first;

  if (first > run.LineCount) {
    frame.AppendLog("引数定義 -- 無し");
  } else {
    bool changed = false;
    WalkLinesHolding(
        run, kHoldsHash, [&](std::int32_t n) { frame.HighlightLine(n); },
        [&](std::int32_t n) {
          const std::string_view name = n >= first ? IfBlockName(run.Line(n)) : std::string_view();
          if (name.empty()) return n;
          const bool enabled =
              std::any_of(run.RunArguments.begin(), run.RunArguments.end(),
                          [name](const std::string& word) { return !word.empty() && word == name; });
          changed = true;
          // An enabled block keeps its inner lines, so its end is searched
          // after the "#IF" line; a disabled block may end on the same line.
          const std::int32_t end = FindEndLine(run, enabled ? n + 1 : n);
          if (end == 0) {
            // No "#END" follows: the block runs to the last line.
            frame.AppendFinding(std::to_string(n) + "行目 #IF に対応する #END が有りません。",
                                [&](std::string message) {
                                  Finding finding = LineFinding(run, Severity::Warning, "引数定義", n,
                                                                std::move(message), "#IF",
                                                                FindKeyword(run.Line(n), "#IF"));
                                  finding.word = sjis::ToUtf8(name);
                                  return finding;
                                });
            if (enabled) {
              Blank(run, n);
            } else {
              for (std::int32_t m = n; m <= run.LineCount; ++m) Blank(run, m);
            }
            return run.LineCount;
          }
          if (enabled) {
            Blank(run, n);
            Blank(run, end);
          } else {
            for (std::int32_t m = n; m <= end; ++m) Blank(run, m);
          }
          return end;
        },
        [&](std::int32_t n) { frame.ShowLineProgress(n, "行目 :引数定義検索中"); });
    if (changed) frame.WorkTextReplaced();
  }
  frame.AppendLog("引数定義 -- 完了");
  frame.AppendLog("");
  return StageEnd::Continue;
}

}  // namespace vostrel
