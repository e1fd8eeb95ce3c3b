#pragma once
// Assignment, arithmetic and function statements as G65 H-code calls.

#include <string>
#include <string_view>

#include "macroa/take.h"

namespace vostrel {

// One working line rewritten as prefix + call + target + "Q" first operand
// [+ "R" second operand], the operation chosen by the first keyword of a
// fixed list that the line contains (#1=#2+#3 gives G65H02P#1Q#2R#3). A pure
// text rewrite at fixed cut positions: nothing is checked, a comment is cut
// like the statement, a line with none of the keywords comes back unchanged.
std::string ConvertArithmeticLine(std::string_view line);
// The same into `out`, `bytes` being the bytes of `line`.
void ConvertArithmeticLine(std::string_view line, const macroa::LineBytes& bytes, std::string& out);

}  // namespace vostrel
