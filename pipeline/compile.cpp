#include "pipeline/compile.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstring>
#include <exception>
#include <fstream>
#include <iterator>
#include <new>

#include "pipeline/compile_run.h"
#include "pipeline/stage_table.h"
#include "platform/read_file.h"
#include "text/path_text.h"

namespace vostrel {

namespace {

// The line-by-line reader for sources that yield no text: CR LF reads as
// one line feed; each read takes at most 499 bytes up to and including a
// line feed; the line feed is dropped, the piece is cut at its first NUL
// and kept when something is left. Each piece comes from the file line it
// was read from.
void ReadLinesFallback(std::string_view bytes, CompileRun& run) {
  constexpr std::size_t kMaxPiece = 499;
  run.ClearLines();
  std::string piece;
  std::int32_t fileLine = 1;
  auto flush = [&] {
    const bool lineEnd = !piece.empty() && piece.back() == '\n';
    if (lineEnd) piece.pop_back();
    const std::size_t nul = piece.find('\0');
    if (nul != std::string::npos) piece.resize(nul);
    if (!piece.empty()) {
      run.WorkLines.push_back(piece);
      run.LineOrigins.push_back(fileLine);
    }
    if (lineEnd) ++fileLine;
    piece.clear();
  };
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    char c = bytes[i];
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;  // text mode
    piece += c;
    if (c == '\n' || piece.size() == kMaxPiece) flush();
  }
  if (!piece.empty()) flush();
}

}  // namespace

namespace {

// The source's bytes become WorkLines. `readAgain`, when given, is the
// regular file they were read from, whole: the columns of findings are
// then read from it again rather than kept in a copy.
void TakeSourceBytes(platform::FileBytes bytes, CompileRun& run, StageFrame& frame, SourceCut* cut,
                     const std::filesystem::path* readAgain) {
  const std::string_view text = bytes.view();
  const std::size_t nul = text.find('\0');
  if (cut && nul != std::string::npos) {
    cut->offset = nul;
    cut->line = 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(nul), '\n'));
  }
  run.SourceSize = text.size();
  // A text of its own bytes before any NUL; a non-empty text always has a
  // line.
  if (nul != 0 && !text.empty()) {
    // The lines are kept in the file's own bytes. The columns of findings
    // come from the file read again, or, where it cannot be (a pipe, a text
    // from an editor), from a copy of the bytes.
    const bool again = frame.WantsFindings() && readAgain;
    if (frame.WantsFindings() && !again) run.Source.Reset(std::string(text));
    else if (again) run.Source.ReadAgainFrom(*readAgain, text.size());
    else run.Source.Reset({});
    run.SetLoadedLines(TextLines::FromSource(std::move(bytes.data), std::min(nul, text.size())));
  } else {
    if (frame.AskYesNo("ファイル形式が違います。\nそのまま読み込みは可能ですが、"
                       "データの一部読み込めない可能性が有ります。\n読み込み開始は「はい(Y)」")) {
      ReadLinesFallback(text, run);
      if (cut) cut->lineByLine = true;
    }
    run.Source.Reset(frame.WantsFindings() ? std::string(text) : std::string());
  }
  frame.WorkTextReplaced();
}

}  // namespace

bool LoadSource(const std::filesystem::path& path, CompileRun& run, StageFrame& frame,
                platform::Pipes pipes, std::string* error, SourceCut* cut) {
  platform::FileBytes bytes;
  run.ClearLines();
  run.SourcePath = PathToUtf8(path);
  if (cut) *cut = SourceCut{};
  if (!platform::ReadWholeFile(path, bytes, error, pipes)) return false;
  std::error_code ec;
  const bool readAgain = frame.WantsFindings() && std::filesystem::is_regular_file(path, ec) &&
                         std::filesystem::file_size(path, ec) == bytes.size && !ec;
  TakeSourceBytes(std::move(bytes), run, frame, cut, readAgain ? &path : nullptr);
  return true;
}

void LoadSourceText(std::string text, std::string sourcePath, CompileRun& run, StageFrame& frame,
                    SourceCut* cut) {
  run.ClearLines();
  run.SourcePath = std::move(sourcePath);
  if (cut) *cut = SourceCut{};
  platform::FileBytes bytes;
  bytes.size = text.size();
  bytes.data.reset(new char[text.size()]);
  std::memcpy(bytes.data.get(), text.data(), text.size());
  TakeSourceBytes(std::move(bytes), run, frame, cut, nullptr);
}

RunResult RunStages(CompileRun& run, StageFrame& frame) {
  return RunStages(run, frame, StageOrder());
}

RunResult RunStages(CompileRun& run, StageFrame& frame, std::span<const StageEntry> stages) {
  auto ended = [&frame] {
    return frame.RunOutcome() == StageFrame::Outcome::Cancelled ? RunResult::Cancelled
                                                                 : RunResult::Aborted;
  };
  frame.AppendLog(std::string(kLogHeading));
  if (frame.PollCancel()) return RunResult::Cancelled;

  for (const StageEntry& stage : stages) {
    if (stage.gate && !stage.gate(run)) continue;
    StageEnd end;
    try {
      end = stage.run(run, frame);
    } catch (const std::bad_alloc&) {
      frame.AbortRun(std::string(stage.logName) + " でメモリが足りなくなりました。\nコンパイルを中止します。",
                     std::string(stage.logName) + " -- 中止");
      return RunResult::Aborted;
    } catch (const std::exception& failure) {
      Finding stop;
      stop.stage = stage.logName;
      frame.AbortRun(std::string(stage.logName) + " で異常が発生しました。\n" + failure.what() +
                         "\nコンパイルを中止します。",
                     std::string(stage.logName) + " -- 中止", {stop});
      return RunResult::Aborted;
    }
    // Lines that grew left their old bytes behind.
    run.WorkLines.compact_if_wasteful();
    // Later stages pass over lines by their summaries.
    assert(run.WorkLines.summaries_hold());
    if (end == StageEnd::EndRun) return ended();
    if (stage.after == AfterStage::CancelCheck && frame.PollCancel()) return RunResult::Cancelled;
    frame.SetProgress(0);
  }

  frame.SetProgress(0);
  frame.AppendLog("--- ｺﾝﾊﾟｲﾙ 完了 ---");
  frame.ShowActivity("");
  return RunResult::Completed;
}

}  // namespace vostrel
