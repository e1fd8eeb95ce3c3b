// 改行ｺｰﾄﾞ変換: every CR byte is deleted, then every LF ends a line.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <span>
#include <vector>

#include "pipeline/compile_run.h"
#include "pipeline/stage_frame.h"
#include "pipeline/stages/stages.h"

namespace vostrel {

namespace {
std::string CountText(const char* format, std::int32_t count) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, format, static_cast<int>(count));
  return buffer;
}
}  // namespace

StageEnd RunLineEndingConversion(CompileRun& run, StageFrame& frame) {
  frame.AppendLog("改行ｺｰﾄﾞ変換 -- 開始");
  frame.StartProgress(run.CountLines());
  frame.ShowBusy(true);
  frame.ShowActivity("改行ｺｰﾄﾞ変換");
  frame.HighlightLine(run.LineCount);

  // Step one: delete every CR. CR is never the second byte of a double-byte
  // character, so this equals replacing CR by nothing in the whole text. The
  // whole text then holds no CR LF and would set back as one line whose LFs
  // are the old line breaks; the lines are kept apart here instead (each
  // without its CRs) and only joined if the run is cancelled in between.
  bool anyLineFeed = false;
  for (std::size_t i = 0; i < run.WorkLines.size(); ++i) {
    if (run.WorkLines.may_hold(i, kHoldsCr)) {
      const std::span<char> line = run.WorkLines.bytes(i);
      const auto end = std::remove(line.begin(), line.end(), '\r');
      run.WorkLines.narrow(i, 0, static_cast<std::size_t>(end - line.begin()));
      run.WorkLines.resummarise(i);
    }
    anyLineFeed = anyLineFeed || run.WorkLines.may_hold(i, kHoldsLf);
  }
  const bool anyText = run.WorkLines.size() > 1 || (run.WorkLines.size() == 1 && !run.WorkLines[0].empty());
  frame.WorkTextReplaced();
  frame.LetEventsRun();
  frame.AppendLog("改行ｺｰﾄﾞ削除 -- " + CountText("%06d", anyText ? 1 : 0));
  run.LineCount = anyText ? 1 : 0;
  if (run.CancelFlag.load()) {
    // What the user is left with: the text as step one set it back.
    std::string text;
    for (std::size_t i = 0; i < run.WorkLines.size(); ++i) {
      if (i) text += '\n';
      text += run.WorkLines[i];
    }
    const bool mapped = run.HasSourceMap();
    const std::int32_t firstOrigin = mapped ? run.SourceLineOf(1) : 0;
    run.ClearLines();
    if (!text.empty()) {
      run.WorkLines.push_back(text);
      if (mapped) run.LineOrigins.push_back(firstOrigin);
    }
    run.CountLines();
    frame.WorkTextReplaced();
  }
  if (frame.PollCancel()) return StageEnd::EndRun;

  // Step two: every LF becomes CR LF, so every LF ends a line.
  if (anyLineFeed) {
    // Every piece of a split line comes from the source line of the line.
    const bool mapped = run.HasSourceMap();
    TextLines split;
    std::vector<std::int32_t> origins;
    split.reserve(run.WorkLines.size(), run.WorkLines.text_bytes());
    if (mapped) origins.reserve(run.WorkLines.size());
    for (std::size_t i = 0; i < run.WorkLines.size(); ++i) {
      const std::string_view line = run.WorkLines[i];
      const std::int32_t origin = mapped ? run.SourceLineOf(static_cast<std::int32_t>(i + 1)) : 0;
      std::size_t start = 0;
      for (;;) {
        const std::size_t lf = line.find('\n', start);
        split.push_back(line.substr(start, lf == std::string_view::npos ? std::string_view::npos : lf - start));
        if (mapped) origins.push_back(origin);
        if (lf == std::string_view::npos) break;
        start = lf + 1;
      }
    }
    run.LinesAreSourceLines = false;
    run.WorkLines = std::move(split);
    run.LineOrigins.swap(origins);
  } else if (!anyText) {
    run.ClearLines();  // an empty whole text sets back as no lines
  }
  frame.WorkTextReplaced();
  frame.LetEventsRun();
  frame.AppendLog("改行ｺｰﾄﾞ置換 -- " + CountText("%05d", run.CountLines()));
  frame.AppendLog("改行ｺｰﾄﾞ変換 -- 完了");
  frame.AppendLog("");
  frame.ShowBusy(false);
  return StageEnd::Continue;
}

}  // namespace vostrel
