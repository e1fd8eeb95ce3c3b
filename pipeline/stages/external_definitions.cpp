// 外部定義ﾃﾞｰﾀ読み込み: every include line names a file of definitions;
// its definitions are appended to the table and the include line is blanked.
// A file that cannot be read stops the run.

#include "pipeline/compile_run.h"
#include "pipeline/definition_parse.h"
#include "pipeline/stage_frame.h"
#include "pipeline/stages/stages.h"
#include "text/sjis.h"

namespace vostrel {

namespace {

constexpr std::string_view kStage = "外部定義ﾃﾞｰﾀ読み込み";

bool AnyLineContains(const CompileRun& run, std::string_view marker) {
  if (marker.empty()) return false;
  for (std::int32_t n = 1; n <= run.LineCount; ++n)
    if (sjis::FindBytes(run.Line(n), marker) != std::string_view::npos) return true;
  return false;
}

// Reads the include file named on line n and appends its definitions.
// False when the file cannot be read (the run is then aborted).
bool ProcessIncludeLine(CompileRun& run, StageFrame& frame, std::int32_t n,
                        std::string_view directive, std::string_view startChar) {
  const std::string written = IncludePathAsWritten(run.Line(n), directive);
  const std::filesystem::path path = ResolveIncludePath(written, run.ExeDir);
  const std::string shown = IncludePathShown(written, run.ExeDir);

  std::string bytes;
  if (!ReadIncludeFile(path, bytes)) {
    frame.AbortRun(shown + " が見つかりません。\nコンパイルを中止します。",
                   std::string(kStage) + " -- 中止");
    return false;
  }
  run.SetLine(n, " ");

  const std::string status = "行目 :" + shown + " 定義ﾃﾞｰﾀ検索中";
  const std::vector<std::string> lines = SplitIncludeText(bytes);
  Definition definition;
  for (std::size_t j = 0; j < lines.size(); ++j) {
    // An include line inside an include file is not followed.
    const std::string line = StripComment(lines[j]);
    if (IsDefinitionLine(line, startChar) && ParseDefinitionLine(line, startChar, 1, definition))
      StoreDefinition(run, definition);
    frame.ShowActivity(StageFrame::LineNumberText(static_cast<std::int32_t>(j + 1)) + status);
  }
  return true;
}

}  // namespace

StageEnd RunExternalDefinitions(CompileRun& run, StageFrame& frame) {
  const std::string directive = run.Options->DefName;
  const std::string startChar = run.Options->StartChar;
  frame.ShowActivity("外部定義データの読み込み");
  frame.AppendLog(std::string(kStage) + " -- 開始");
  frame.LetEventsRun();

  // Rows past the source's definitions are never kept from an earlier run.
  if (run.DefinitionTable.size() > static_cast<std::size_t>(run.DefinitionCount))
    run.DefinitionTable.resize(static_cast<std::size_t>(run.DefinitionCount));
  const std::size_t before = run.DefinitionTable.size();
  frame.HighlightLine(1);

  if (AnyLineContains(run, directive)) {
    for (std::int32_t n = 1; n <= run.LineCount; ++n) {
      frame.HighlightLine(n);
      if (sjis::FindBytes(run.Line(n), directive) != std::string_view::npos &&
          !ProcessIncludeLine(run, frame, n, directive, startChar))
        return StageEnd::EndRun;
      frame.SetProgress(n);
      frame.LetEventsRun();
    }
  }

  frame.AppendLog(std::string(kStage) + " -- 完了");
  const std::size_t added = run.DefinitionTable.size() - before;
  if (added == 0) {
    frame.AppendLog("外部定義ﾃﾞｰﾀ数 = 無し");
  } else {
    frame.AppendLog("外部定義ﾃﾞｰﾀ数 = " + std::to_string(added) + "個");
    run.DefinitionCount = static_cast<int>(run.DefinitionTable.size());
  }
  frame.AppendLog("");

  // Without any definition the checks and the replacement are skipped.
  if (run.DefinitionCount == 0) frame.SetProgress(0);
  else frame.StartProgress(run.DefinitionCount);
  return StageEnd::Continue;
}

}  // namespace vostrel
