#include "pipeline/compile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <fstream>
#include <iterator>
#include <new>

#include "pipeline/compile_run.h"
#include "pipeline/stage_table.h"
#include "platform/read_file.h"

namespace vostrel {

namespace {

// The line-by-line reader for sources that yield no text: CR LF reads as
// one line feed; each read takes at most 499 bytes up to and including a
// line feed; the line feed is dropped, the piece is cut at its first NUL
// and kept when something is left.
TextLines ReadLinesFallback(std::string_view bytes) {
  constexpr std::size_t kMaxPiece = 499;
  TextLines lines;
  std::string piece;
  auto flush = [&] {
    if (!piece.empty() && piece.back() == '\n') piece.pop_back();
    const std::size_t nul = piece.find('\0');
    if (nul != std::string::npos) piece.resize(nul);
    if (!piece.empty()) lines.push_back(piece);
    piece.clear();
  };
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    char c = bytes[i];
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;  // text mode
    piece += c;
    if (c == '\n' || piece.size() == kMaxPiece) flush();
  }
  if (!piece.empty()) flush();
  return lines;
}

}  // namespace

bool LoadSource(const std::filesystem::path& path, CompileRun& run, StageFrame& frame,
                platform::Pipes pipes, std::string* error, SourceCut* cut) {
  std::string bytes;
  run.WorkLines.clear();
  if (cut) *cut = SourceCut{};
  if (!platform::ReadWholeFile(path, bytes, error, pipes)) return false;
  const std::size_t nul = bytes.find('\0');
  run.WorkLines = SplitSourceText(std::string_view(bytes).substr(0, nul));
  if (cut && nul != std::string::npos) {
    cut->offset = nul;
    cut->line = 1 + static_cast<std::size_t>(
                        std::count(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(nul), '\n'));
  }
  if (run.WorkLines.empty()) {
    if (frame.AskYesNo("ファイル形式が違います。\nそのまま読み込みは可能ですが、"
                       "データの一部読み込めない可能性が有ります。\n読み込み開始は「はい(Y)」")) {
      run.WorkLines = ReadLinesFallback(bytes);
      if (cut) cut->lineByLine = true;
    }
  }
  run.SourceSize = bytes.size();
  frame.WorkTextReplaced();
  return true;
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
      frame.AbortRun(std::string(stage.logName) + " で異常が発生しました。\n" + failure.what() +
                         "\nコンパイルを中止します。",
                     std::string(stage.logName) + " -- 中止");
      return RunResult::Aborted;
    }
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
