// The Macro A line converters over arbitrary bytes: the arithmetic and
// branch converters, the alarm rewrite and the stage's choice between them.
// Every piece they cut must lie inside the line (the sanitizers check the
// reads), the result is bounded by a few copies of the line, and a line
// without "#3000=", "GOTO" and "=" is left alone.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "macroa/arithmetic.h"
#include "macroa/branch.h"
#include "macroa/macroa_stage.h"
#include "text/sjis.h"

namespace {

void Check(std::string_view line) {
  const std::size_t bound = 4 * line.size() + 9;
  if (vostrel::ConvertArithmeticLine(line).size() > bound) std::abort();
  if (vostrel::ConvertBranchLine(line).size() > bound) std::abort();
  const std::string alarm = vostrel::ConvertAlarmLine(line);
  const bool hasAlarm = line.find("#3000=") != std::string_view::npos;
  if (hasAlarm ? alarm.size() != line.size() + 1 : alarm != line) std::abort();
  const auto converted = vostrel::ConvertMacroALine(line);
  const bool marked = hasAlarm || line.find("GOTO") != std::string_view::npos ||
                      line.find('=') != std::string_view::npos;
  if (converted.has_value() != marked) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  Check(line);
  std::string upper(line);  // as the stage sees it, after the upper-casing
  vostrel::sjis::UpperCaseInPlace(upper);
  Check(upper);
  return 0;
}
