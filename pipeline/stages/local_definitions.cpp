// 定義ﾃﾞｰﾀ読み込みと削除: definition lines of the source go into the
// definition table and are emptied, so that none reaches the output.

#include "pipeline/compile_run.h"
#include "pipeline/definition_parse.h"
#include "pipeline/stage_frame.h"
#include "pipeline/stages/line_walk.h"
#include "pipeline/stages/stages.h"
#include "text/sjis.h"

namespace vostrel {

namespace {

// Whether the whole text (lines joined by CR LF) holds `marker`.
bool WholeTextContains(const CompileRun& run, std::string_view marker) {
  if (marker.empty()) return false;
  const LineSummary held = MarkerSummary(marker);
  for (std::int32_t n = 1; n <= run.LineCount; ++n)
    if (run.MayHold(n, held) && sjis::FindBytes(run.Line(n), marker) != std::string_view::npos) return true;
  // A marker with a line break in it can only be found across lines.
  if (marker.find_first_of("\r\n") != std::string_view::npos)
    return sjis::FindBytes(run.WholeText(), marker) != std::string_view::npos;
  return false;
}

}  // namespace

StageEnd RunLocalDefinitions(CompileRun& run, StageFrame& frame) {
  const std::string startChar = run.Options->StartChar;
  frame.ShowActivity("定義データの読み込みと削除");
  frame.AppendLog("定義ﾃﾞｰﾀ読み込みと削除 -- 開始");
  frame.LetEventsRun();

  // The table starts afresh in every run.
  run.DefinitionTable.clear();
  run.DefinitionCount = 0;
  run.MaxNameLength = 0;
  frame.StartProgress(run.LineCount);
  frame.HighlightLine(1);

  if (!WholeTextContains(run, startChar)) {
    frame.AppendLog("定義ﾃﾞｰﾀ読み込みと削除 -- 無し");
  } else {
    Definition definition;
    const LineSummary held = MarkerSummary(startChar);
    WalkLinesHolding(
        run, held, [&](std::int32_t n) { frame.HighlightLine(n); },
        [&](std::int32_t n) {
          const std::string_view line = run.Line(n);
          if (!IsDefinitionLine(line, startChar)) return n;
          if (ParseDefinitionLine(line, startChar, n + 1, definition)) {
            definition.SourceLine = run.SourceLineOf(n);
            StoreDefinition(run, definition);
          } else if (frame.WantsFindings()) {
            frame.ReportFinding(EmptyDefinitionFinding({}, run.SourceLineOf(n), "定義ﾃﾞｰﾀ読み込みと削除"));
          }
          // Emptied, not removed: later line numbers stay as they were.
          run.SetLine(n, {});
          return n;
        },
        [&](std::int32_t n) { frame.ShowLineProgress(n, "行目 :定義検索中"); });
  }

  const std::size_t stored = run.DefinitionTable.size();
  frame.AppendLog("定義ﾃﾞｰﾀ読み込みと削除 -- 完了");
  frame.AppendLog("定義ﾃﾞｰﾀ数 = " + std::to_string(stored) + "個");
  frame.AppendLog("");
  run.DefinitionCount = static_cast<int>(stored);
  frame.StartProgress(run.LineCount);
  return StageEnd::Continue;
}

}  // namespace vostrel
