#pragma once
// Entry points of the stages, in the order of the stage table.

#include <string>
#include <string_view>

#include "pipeline/stage_table.h"

namespace vostrel {

StageEnd RunLineEndingConversion(CompileRun& run, StageFrame& frame);  // 改行ｺｰﾄﾞ変換
StageEnd RunCommentRemoval(CompileRun& run, StageFrame& frame);        // ｺﾒﾝﾄ削除
StageEnd RunTabReplacement(CompileRun& run, StageFrame& frame);        // タブ削除
StageEnd RunMacroAStage(CompileRun& run, StageFrame& frame);           // ﾏｸﾛAに変換

// Shared by the comment removal and the include-file reader: the line
// without its ";" comment; a line that starts with ";" becomes one space.
std::string StripComment(std::string_view line);

}  // namespace vostrel
