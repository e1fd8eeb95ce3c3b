#pragma once
// Conditional and unconditional branches as G65 H-code calls.

#include <string>
#include <string_view>

#include "macroa/take.h"

namespace vostrel {

// IF[left OP right]GOTOn becomes G65H81P..G65H86P + n + "Q" left + "R"
// right; GOTOn without "IF[" becomes G65H80P + n. A pure text rewrite at
// fixed cut positions; an "IF[" line without a comparison keyword, and a
// line with neither "IF[" nor "GOTO", come back unchanged.
std::string ConvertBranchLine(std::string_view line);
// The same into `out`, `bytes` being the bytes of `line`.
void ConvertBranchLine(std::string_view line, const macroa::LineBytes& bytes, std::string& out);

}  // namespace vostrel
