// 改行ｺｰﾄﾞ変換: every CR byte is deleted, then every LF ends a line.

#include <algorithm>
#include <cstdio>

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
  // character, so this equals replacing CR by nothing in the whole text; the
  // text then has no CR LF left and sets back as a single line.
  std::string text = run.WholeText();
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  run.WorkLines.clear();
  if (!text.empty()) run.WorkLines.push_back(std::move(text));
  frame.WorkTextReplaced();
  frame.LetEventsRun();
  frame.AppendLog("改行ｺｰﾄﾞ削除 -- " + CountText("%06d", run.CountLines()));
  if (frame.PollCancel()) return StageEnd::EndRun;

  // Step two: every LF becomes CR LF, so the text splits at each LF.
  if (!run.WorkLines.empty()) {
    const std::string joined = std::move(run.WorkLines.front());
    run.WorkLines.clear();
    std::size_t start = 0;
    for (;;) {
      const std::size_t lf = joined.find('\n', start);
      run.WorkLines.emplace_back(joined, start, lf == std::string::npos ? std::string::npos : lf - start);
      if (lf == std::string::npos) break;
      start = lf + 1;
    }
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
