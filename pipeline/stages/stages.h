#pragma once
// Entry points of the stages, in the order of the stage table.

#include <filesystem>
#include <span>
#include <string>
#include <utility>
#include <string_view>
#include <vector>

#include "pipeline/stage_table.h"
#include "pipeline/word_set.h"

namespace vostrel {

StageEnd RunLineEndingConversion(CompileRun& run, StageFrame& frame);  // 改行ｺｰﾄﾞ変換
StageEnd RunCommentRemoval(CompileRun& run, StageFrame& frame);        // ｺﾒﾝﾄ削除
StageEnd RunTabReplacement(CompileRun& run, StageFrame& frame);        // タブ削除
StageEnd RunHexToDecimal(CompileRun& run, StageFrame& frame);          // 16進から10進
StageEnd RunArgumentBlocks(CompileRun& run, StageFrame& frame);        // 引数定義
StageEnd RunLocalDefinitions(CompileRun& run, StageFrame& frame);      // 定義ﾃﾞｰﾀ読み込みと削除
StageEnd RunExternalDefinitions(CompileRun& run, StageFrame& frame);   // 外部定義ﾃﾞｰﾀ読み込み
StageEnd RunDefinitionCheck(CompileRun& run, StageFrame& frame);       // 定義ﾃﾞｰﾀ確認
StageEnd RunDuplicateCheck(CompileRun& run, StageFrame& frame);        // 二重定義ﾃﾞｰﾀ確認
StageEnd RunLongNameReplacement(CompileRun& run, StageFrame& frame);   // 外部定義ﾃﾞｰﾀ置換
StageEnd RunOneByteNameReplacement(CompileRun& run, StageFrame& frame);  // 定義ﾃﾞｰﾀ置換
StageEnd RunUpperCase(CompileRun& run, StageFrame& frame);             // 小文字から大文字変換
StageEnd RunBracketCheck(CompileRun& run, StageFrame& frame);          // 括弧ﾁｪｯｸ
StageEnd RunSyntaxCheck(CompileRun& run, StageFrame& frame);           // 構文ﾁｪｯｸ
StageEnd RunSpaceRemoval(CompileRun& run, StageFrame& frame);          // ｽﾍﾟｰｽ削除
StageEnd RunMacroAStage(CompileRun& run, StageFrame& frame);           // ﾏｸﾛAに変換
StageEnd RunTidyUp(CompileRun& run, StageFrame& frame);                // ﾃﾞｰﾀ整理

// Shared by the comment removal and the include-file reader: the line
// without its ";" comment; a line that starts with ";" becomes one space.
std::string StripComment(std::string_view line);

// A line with every "0X" constant replaced by its decimal value, upper-cased.
// When a constant is no 32-bit hexadecimal number, `badLiteral` holds it
// and `line` is not to be used.
struct HexLineResult {
  std::string line;
  std::string badLiteral;
};
HexLineResult ConvertHexLine(std::string_view line);
// The same into `result`, whose strings keep their room from line to line.
void ConvertHexLine(std::string_view line, HexLineResult& result);

// The name of an "#IF" line: the first run of non-space bytes after the
// first "#IF"; empty when there is none.
std::string_view IfBlockName(std::string_view line);

// Whether two bytes that belong to a word to the syntax check stand side by
// side somewhere in `line`: without that the line has no word to look up.
bool HasLongWord(std::string_view line);

// Bracket counts of one line, counted on characters (the second byte of a
// double-byte character is never a bracket).
struct BracketCounts {
  int openSquare = 0, closeSquare = 0, openRound = 0, closeRound = 0;
};
BracketCounts CountBrackets(std::string_view line);

// Reads a word list (one word per line; CR LF, CR or LF end a line) into
// `words`; false when the file cannot be read.
// `systemFault` (when given) tells a failure of the system (out of file
// descriptors or memory) from one of the file.
bool ReadCheckWordList(const std::filesystem::path& path, WordSet& words, bool* systemFault = nullptr);
// The words of `line` the syntax check looks up and does not find, in
// order (views into `line`).
std::vector<std::string_view> UnknownWords(std::string_view line,
                                           const WordSet& words);

// Space and "$" removal of one line in the line mode of ｽﾍﾟｰｽ削除.
void RemoveSpacesOnLine(std::string& line);
// The same in place: returns where the line now starts in `line` and its
// length.
// `mayHoldOpenRound` false: the line is known to hold no "(".
std::pair<std::size_t, std::size_t> RemoveSpacesOnLine(std::span<char> line, bool mayHoldOpenRound = true);

}  // namespace vostrel
