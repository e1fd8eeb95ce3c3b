#include "pipeline/run_options.h"

#include <algorithm>
#include <cctype>

namespace vostrel {

namespace {
bool SameKey(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}
}  // namespace

std::string* RunOptions::Find(std::string_view key) {
  struct Entry { std::string_view name; std::string RunOptions::*field; };
  static constexpr Entry kKeys[] = {
      {"EndChar", &RunOptions::EndChar},       {"chg16_10", &RunOptions::chg16_10},
      {"StartChar", &RunOptions::StartChar},   {"DefName", &RunOptions::DefName},
      {"Chg_MacroA", &RunOptions::Chg_MacroA}, {"End_set", &RunOptions::End_set},
  };
  for (const auto& entry : kKeys)
    if (SameKey(entry.name, key)) return &(this->*entry.field);
  return nullptr;
}

}  // namespace vostrel
