#include "pipeline/stage_table.h"

#include "pipeline/compile_run.h"
#include "pipeline/stages/stages.h"

namespace vostrel {

namespace {

bool EndCharOn(const CompileRun& run) { return IsOn(run.Options->EndChar); }
bool Chg16To10On(const CompileRun& run) { return IsOn(run.Options->chg16_10); }
bool HasDefinitions(const CompileRun& run) { return run.DefinitionCount > 0; }

constexpr StageEntry kStageOrder[] = {
    {"改行ｺｰﾄﾞ変換", EndCharOn, RunLineEndingConversion, AfterStage::CancelCheck},
    {"ｺﾒﾝﾄ削除", nullptr, RunCommentRemoval, AfterStage::CancelCheck},
    {"タブ削除", nullptr, RunTabReplacement, AfterStage::CancelCheck},
    {"16進から10進", Chg16To10On, RunHexToDecimal, AfterStage::CancelCheck},
    {"引数定義", nullptr, RunArgumentBlocks, AfterStage::CancelCheck},
    {"定義ﾃﾞｰﾀ読み込みと削除", nullptr, RunLocalDefinitions, AfterStage::CancelCheck},
    {"外部定義ﾃﾞｰﾀ読み込み", nullptr, RunExternalDefinitions, AfterStage::CancelCheck},
    {"定義ﾃﾞｰﾀ確認", HasDefinitions, RunDefinitionCheck, AfterStage::CancelCheck},
    {"二重定義ﾃﾞｰﾀ確認", HasDefinitions, RunDuplicateCheck, AfterStage::CancelCheck},
    {"外部定義ﾃﾞｰﾀ置換", HasDefinitions, RunLongNameReplacement, AfterStage::CancelCheck},
    {"定義ﾃﾞｰﾀ置換", HasDefinitions, RunOneByteNameReplacement, AfterStage::CancelCheck},
    {"小文字から大文字変換", nullptr, RunUpperCase, AfterStage::CancelCheck},
    {"括弧ﾁｪｯｸ", nullptr, RunBracketCheck, AfterStage::CancelCheck},
    {"構文ﾁｪｯｸ", nullptr, RunSyntaxCheck, AfterStage::CancelCheck},
    {"ｽﾍﾟｰｽ削除", nullptr, RunSpaceRemoval, AfterStage::CancelCheck},
    {"ﾏｸﾛAに変換", [](const CompileRun& run) { return IsOn(run.Options->Chg_MacroA); },
     RunMacroAStage, AfterStage::CancelCheck},
    {"ﾃﾞｰﾀ整理", nullptr, RunTidyUp, AfterStage::None},
};

}  // namespace

std::span<const StageEntry> StageOrder() { return kStageOrder; }

}  // namespace vostrel
