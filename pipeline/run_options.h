#pragma once
// The run options, by their settings keys. Values are Shift-JIS bytes;
// on/off options are "Y" and "N" and only the exact text "Y" is on.
//
// The front end owns the live record; a run keeps a pointer to it and reads
// each option when its stage is reached, so a change made during a run
// affects the stages that have not started yet.

#include <string>

namespace vostrel {

struct RunOptions {
  std::string EndChar = "N";      // line-ending conversion
  std::string chg16_10 = "N";     // hexadecimal to decimal
  std::string StartChar = "$";    // marks a definition line
  std::string DefName = "#INCLUDE";  // include directive keyword
  std::string Chg_MacroA = "N";   // Macro A conversion
  std::string End_set = "N";      // which empty lines the tidy-up deletes

  // The option named `key` (matched without regard to case), or nullptr.
  std::string* Find(std::string_view key);
};

inline bool IsOn(const std::string& option) { return option == "Y"; }

}  // namespace vostrel
