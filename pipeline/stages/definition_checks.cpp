// 定義ﾃﾞｰﾀ確認 and 二重定義ﾃﾞｰﾀ確認: the definition table is checked before
// any name is replaced. A name that is the whole value of a definition is
// reported; a name defined twice is reported when both values agree and
// stops the run when they differ.
//
// Both checks report as if every pair of rows were compared in turn (row i
// ascending, then row j ascending); the pairs are found through hash tables
// so that thousands of definitions cost no quadratic scan.

#include <string_view>
#include <unordered_map>
#include <vector>

#include "pipeline/compile_run.h"
#include "pipeline/source_map.h"
#include "pipeline/stage_frame.h"
#include "pipeline/stages/stages.h"
#include "text/sjis.h"

namespace vostrel {

namespace {

constexpr std::string_view kDuplicateStage = "二重定義ﾃﾞｰﾀ確認";

std::size_t UsedRows(const CompileRun& run) {
  const auto count = static_cast<std::size_t>(run.DefinitionCount > 0 ? run.DefinitionCount : 0);
  return count < run.DefinitionTable.size() ? count : run.DefinitionTable.size();
}

}  // namespace

StageEnd RunDefinitionCheck(CompileRun& run, StageFrame& frame) {
  frame.ShowActivity("定義データの確認中");
  frame.AppendLog("定義ﾃﾞｰﾀ確認 -- 開始");
  frame.LetEventsRun();

  const std::size_t rows = UsedRows(run);
  const std::vector<Definition>& table = run.DefinitionTable;
  // How many rows have each value: row i is reported once per row whose
  // value is its name.
  std::unordered_map<std::string_view, int> valueCount;
  valueCount.reserve(rows);
  for (std::size_t j = 0; j < rows; ++j) ++valueCount[table[j].Value];

  for (std::size_t i = 0; i < rows; ++i) {
    const auto hit = valueCount.find(table[i].Name);
    if (hit != valueCount.end()) {
      const std::string line = sjis::ToUtf8(table[i].Name) + " は置換後ﾃﾞｰﾀに有ります。";
      for (int k = 0; k < hit->second; ++k)
        frame.AppendFinding(line, [&](std::string message) {
          return DefinitionFinding(table[i], Severity::Warning, "定義ﾃﾞｰﾀ確認", std::move(message));
        });
    }
    frame.ShowLineProgress(static_cast<std::int32_t>(i + 1), "個目 :定義ﾃﾞｰﾀ確認中");
  }

  frame.AppendLog("定義ﾃﾞｰﾀ確認 -- 完了");
  frame.AppendLog("");
  frame.LetEventsRun();
  frame.StartProgress(run.DefinitionCount);
  return StageEnd::Continue;
}

StageEnd RunDuplicateCheck(CompileRun& run, StageFrame& frame) {
  frame.ShowActivity("二重定義データの確認中");
  frame.AppendLog("二重定義ﾃﾞｰﾀ確認 -- 開始");
  frame.LetEventsRun();

  const std::size_t rows = UsedRows(run);
  const std::vector<Definition>& table = run.DefinitionTable;
  // The rows of each name, in table order, and the place of every row in
  // the list of its name.
  std::unordered_map<std::string_view, std::vector<std::size_t>> rowsByName;
  rowsByName.reserve(rows);
  std::vector<const std::vector<std::size_t>*> sameName(rows);
  std::vector<std::size_t> place(rows);
  for (std::size_t i = 0; i < rows; ++i) {
    std::vector<std::size_t>& list = rowsByName[table[i].Name];
    place[i] = list.size();
    list.push_back(i);
  }
  for (std::size_t i = 0; i < rows; ++i) sameName[i] = &rowsByName.find(table[i].Name)->second;

  for (std::size_t i = 0; i < rows; ++i) {
    const std::vector<std::size_t>& list = *sameName[i];
    const std::string name = place[i] + 1 < list.size() ? sjis::ToUtf8(table[i].Name) : std::string();
    const std::string repeated =
        place[i] + 1 < list.size() ? name + " : " + sjis::ToUtf8(table[i].Value) + " は二重定義されています" : std::string();
    for (std::size_t k = place[i] + 1; k < list.size(); ++k) {
      const Definition& other = table[list[k]];
      // The second definition is the finding; the first is its note.
      auto firstPlace = [&] {
        return DefinitionFinding(table[i], Severity::Note, kDuplicateStage, name + " の最初の定義です。");
      };
      if (other.Value != table[i].Value) {
        frame.AbortRun(name + " は二重定義されています。\nコンパイルを中止します。",
                       std::string(kDuplicateStage) + " -- 中止",
                       {DefinitionFinding(other, Severity::Error, kDuplicateStage, {}), firstPlace()});
        return StageEnd::EndRun;
      }
      frame.AppendFinding(repeated,
                          [&](std::string message) {
                            return DefinitionFinding(other, Severity::Warning, kDuplicateStage, std::move(message));
                          });
      if (frame.WantsFindings()) frame.ReportFinding(firstPlace());
    }
    frame.ShowLineProgress(static_cast<std::int32_t>(i + 1), "個目 :二重定義確認中");
  }

  frame.AppendLog("二重定義ﾃﾞｰﾀ確認 -- 完了");
  frame.AppendLog("");
  frame.StartProgress(run.DefinitionCount);
  return StageEnd::Continue;
}

}  // namespace vostrel
