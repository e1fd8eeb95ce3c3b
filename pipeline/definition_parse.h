#pragma once
// Definition lines and include files, shared by the reading of definitions
// from the source and from include files.
//
// A definition line holds the start character (default "$"); the first word
// after it is the name, the rest of the line (trimmed) is the value.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/compile_run.h"

namespace vostrel {

// True when `line` is taken as a definition line: at least two bytes long
// and holding `startChar` (an empty start character matches nothing).
bool IsDefinitionLine(std::string_view line, std::string_view startChar);

// Parses a definition line. The name starts at the first non-space byte after
// the first `startChar` and ends at the next space (0x20); the value is the
// rest of the line without blanks (bytes up to 0x20) at either end, wrapped
// in "$" markers for a one-byte name. Returns false when no space follows the
// name (or no name follows the start character); `out` is then unchanged.
bool ParseDefinitionLine(std::string_view line, std::string_view startChar, int scopeStartLine,
                         Definition& out);

// Appends `definition` to the run's table and raises MaxNameLength.
void StoreDefinition(CompileRun& run, Definition definition);

// Bytes up to 0x20 removed at both ends.
std::string_view TrimBlanks(std::string_view text);

// The lines of an include file: a line ends at CR LF, CR or LF, the text is
// cut at its first NUL byte, and every tab becomes a space.
std::vector<std::string> SplitIncludeText(std::string_view bytes);

// The include path of an include line as written: every `directive` removed
// (never at the second byte of a double-byte character), then trimmed.
std::string IncludePathAsWritten(std::string_view line, std::string_view directive);

// The include path as messages show it (UTF-8): every "..\" replaced by the
// program's own folder `exeDir` and a separator, the rest as written.
std::string IncludePathShown(std::string_view includePath, const std::filesystem::path& exeDir);

// The file an include path names. The cp932 path is decoded; "..\" stands
// for the program's own folder `exeDir`, then every other backslash is a
// folder separator, so "..\DEF\A.DEF" names DEF/A.DEF in `exeDir`. A "../"
// is the parent folder as usual, and a relative path stays relative (to
// the current folder).
std::filesystem::path ResolveIncludePath(std::string_view includePath,
                                         const std::filesystem::path& exeDir);

// Reads a regular file whole; false when it is missing, a folder or unreadable.
bool ReadIncludeFile(const std::filesystem::path& path, std::string& bytes);

}  // namespace vostrel
