#include "pipeline/stage_table.h"

#include "pipeline/compile_run.h"
#include "pipeline/stages/stages.h"

namespace vostrel {

namespace {

bool EndCharOn(const CompileRun& run) { return IsOn(run.Options->EndChar); }

constexpr StageEntry kStageOrder[] = {
    {"改行ｺｰﾄﾞ変換", EndCharOn, RunLineEndingConversion, AfterStage::CancelCheck},
    {"ｺﾒﾝﾄ削除", nullptr, RunCommentRemoval, AfterStage::CancelCheck},
    {"タブ削除", nullptr, RunTabReplacement, AfterStage::CancelCheck},
    // (hexadecimal constants, argument blocks)
    // (definitions: read, include files, checks, replacement)
    // (upper case, brackets, syntax check, spaces)
    {"ﾏｸﾛAに変換", [](const CompileRun& run) { return IsOn(run.Options->Chg_MacroA); },
     RunMacroAStage, AfterStage::CancelCheck},
    // (tidy-up)
};

}  // namespace

std::span<const StageEntry> StageOrder() { return kStageOrder; }

}  // namespace vostrel
