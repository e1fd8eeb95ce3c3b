// 外部定義ﾃﾞｰﾀ読み込み: every include line names a file of definitions;
// its definitions are appended to the table and the include line is blanked.
// A file that cannot be read stops the run.

#include "pipeline/compile_run.h"
#include "pipeline/definition_parse.h"
#include "pipeline/include_files.h"
#include "pipeline/source_map.h"
#include "pipeline/stage_frame.h"
#include "pipeline/stages/line_walk.h"
#include "pipeline/stages/stages.h"
#include "text/path_text.h"
#include "text/sjis.h"

namespace vostrel {

namespace {

constexpr std::string_view kStage = "外部定義ﾃﾞｰﾀ読み込み";

bool AnyLineContains(const CompileRun& run, std::string_view marker) {
  if (marker.empty()) return false;
  const LineSummary held = MarkerSummary(marker);
  for (std::int32_t n = 1; n <= run.LineCount; ++n)
    if (run.MayHold(n, held) && sjis::FindBytes(run.Line(n), marker) != std::string_view::npos) return true;
  return false;
}

// The file an include path names with `home` standing for "..\": a
// relative one in the run's include base folder.
std::filesystem::path IncludeFileAt(const CompileRun& run, std::string_view written,
                                    const std::filesystem::path& home) {
  std::filesystem::path path = ResolveIncludePath(written, home);
  if (!path.empty() && path.is_relative() && !run.IncludeBaseFolder.empty())
    path = run.IncludeBaseFolder / path;
  return path;
}

// Reads the file an include path names: with "..\" standing for each of
// the run's home folders in turn, the first that can be read. `path` is the
// file read, or the first one tried when none could be; `home` is the
// folder "..\" stood for in it.
bool ReadNamedInclude(const CompileRun& run, std::string_view written, std::filesystem::path& home,
                      std::filesystem::path& path, std::string& bytes) {
  const std::vector<std::filesystem::path> homes =
      run.IncludeHomeFolders.empty() ? std::vector{run.ExeDir} : run.IncludeHomeFolders;
  std::filesystem::path tried;
  for (std::size_t i = 0; i < homes.size(); ++i) {
    const std::filesystem::path candidate = IncludeFileAt(run, written, homes[i]);
    if (i > 0 && candidate == tried) continue;  // no "..\" in it: the same file
    tried = candidate;
    if (run.SharedIncludes ? run.SharedIncludes->Read(candidate, bytes) : ReadIncludeFile(candidate, bytes)) {
      home = homes[i];
      path = candidate;
      return true;
    }
  }
  home = homes.front();
  path = IncludeFileAt(run, written, home);
  return false;
}

// The full path of a file that was not found, as the message names it
// (nothing for an empty include path).
std::string MissingPathShown(std::string_view written, const std::filesystem::path& path) {
  if (written.empty()) return {};
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(path, ec);
  return PathToUtf8(ec ? path : full);
}

// Reads the include file named on line n and appends its definitions.
// False when the file cannot be read (the run is then aborted).
bool ProcessIncludeLine(CompileRun& run, StageFrame& frame, std::int32_t n,
                        std::string_view directive, std::string_view startChar) {
  const std::string written = IncludePathAsWritten(run.Line(n), directive);
  std::filesystem::path home, path;
  std::string bytes;
  const bool found = ReadNamedInclude(run, written, home, path, bytes);
  if (!found) {
    // At the path on the include line (or the directive, with no path).
    const std::string_view line = run.Line(n);
    std::size_t at = FindWord(line, written.empty() ? directive : std::string_view(written));
    if (at == std::string_view::npos) at = 0;
    frame.AbortRun(MissingPathShown(written, path) + " が見つかりません。\nコンパイルを中止します。",
                   std::string(kStage) + " -- 中止",
                   {LineFinding(run, Severity::Error, kStage, n, {}, written.empty() ? directive : written, at)});
    return false;
  }
  if (const std::string refusal = frame.IncludeRefusal(path); !refusal.empty()) {
    frame.MarkStopAsFileError();
    frame.AbortRun(refusal + "\nコンパイルを中止します。", std::string(kStage) + " -- 中止");
    return false;
  }
  const std::string file = PathToUtf8(path);
  run.SetLine(n, " ");
  const std::string shown = IncludePathShown(written, home);

  const std::string status = "行目 :" + shown + " 定義ﾃﾞｰﾀ検索中";
  const std::vector<std::string> lines = SplitIncludeText(bytes);
  Definition definition;
  for (std::size_t j = 0; j < lines.size(); ++j) {
    // An include line inside an include file is not followed.
    const std::string line = StripComment(lines[j]);
    if (!IsDefinitionLine(line, startChar)) {
      // not a definition line
    } else if (ParseDefinitionLine(line, startChar, 1, definition)) {
      definition.SourceFile = file;
      definition.SourceLine = static_cast<std::int32_t>(j + 1);
      StoreDefinition(run, definition);
    } else if (frame.WantsFindings()) {
      frame.ReportFinding(EmptyDefinitionFinding(file, static_cast<std::int32_t>(j + 1), kStage));
    }
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
    const LineSummary held = MarkerSummary(directive);
    const bool walked = WalkLinesHolding(
        run, held, [&](std::int32_t n) { frame.HighlightLine(n); },
        [&](std::int32_t n) {
          const bool include = sjis::FindBytes(run.Line(n), directive) != std::string_view::npos;
          return include && !ProcessIncludeLine(run, frame, n, directive, startChar) ? 0 : n;
        },
        [&](std::int32_t n) {
          frame.SetProgress(n);
          frame.LetEventsRun();
        });
    if (!walked) return StageEnd::EndRun;
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
