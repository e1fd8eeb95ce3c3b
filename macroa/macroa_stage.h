#pragma once
// The line rewrite of the Macro A stage (ﾏｸﾛAに変換).

#include <optional>
#include <string>
#include <string_view>

namespace vostrel {

// "#3000=" (its first occurrence) becomes "G65H99P"; the alarm number and
// any message after it follow unchanged. A line without it is returned as is.
std::string ConvertAlarmLine(std::string_view line);
// The same into `out`.
void ConvertAlarmLine(std::string_view line, std::string& out);

// What the stage makes of one line, in order of priority: an alarm, else a
// line with "GOTO" (a branch), else a line with "=" (an assignment). nullopt
// when the line is none of these and stays as it is.
std::optional<std::string> ConvertMacroALine(std::string_view line);
// The same into `out`; false (and `out` as it was) for a line that stays.
bool ConvertMacroALine(std::string_view line, std::string& out);

}  // namespace vostrel
