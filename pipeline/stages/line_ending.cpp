// 改行ｺｰﾄﾞ変換: every CR byte is deleted, then every LF ends a line.

#include <algorithm>
#include <cstdio>
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
  for (auto& line : run.WorkLines) {
    if (line.find('\r') != std::string::npos)
      line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
    anyLineFeed = anyLineFeed || line.find('\n') != std::string::npos;
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
    const std::int32_t firstOrigin = run.LineOrigins.empty() ? 0 : run.SourceLineOf(1);
    const bool mapped = !run.LineOrigins.empty();
    run.ClearLines();
    if (!text.empty()) {
      run.WorkLines.push_back(std::move(text));
      if (mapped) run.LineOrigins.push_back(firstOrigin);
    }
    run.CountLines();
    frame.WorkTextReplaced();
  }
  if (frame.PollCancel()) return StageEnd::EndRun;

  // Step two: every LF becomes CR LF, so every LF ends a line.
  if (anyLineFeed) {
    // Every piece of a split line comes from the source line of the line.
    const bool mapped = !run.LineOrigins.empty();
    TextLines split;
    std::vector<std::int32_t> origins;
    split.reserve(run.WorkLines.size());
    if (mapped) origins.reserve(run.WorkLines.size());
    for (std::size_t i = 0; i < run.WorkLines.size(); ++i) {
      std::string& line = run.WorkLines[i];
      const std::int32_t origin = mapped ? run.SourceLineOf(static_cast<std::int32_t>(i + 1)) : 0;
      if (line.find('\n') == std::string::npos) {
        split.push_back(std::move(line));
        if (mapped) origins.push_back(origin);
        continue;
      }
      std::size_t start = 0;
      for (;;) {
        const std::size_t lf = line.find('\n', start);
        split.emplace_back(line, start, lf == std::string::npos ? std::string::npos : lf - start);
        if (mapped) origins.push_back(origin);
        if (lf == std::string::npos) break;
        start = lf + 1;
      }
    }
    run.WorkLines.swap(split);
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
