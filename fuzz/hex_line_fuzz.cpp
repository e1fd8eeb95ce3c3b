// The hexadecimal conversion of a line against the plain form it must
// equal: every literal, in scan order, replacing every occurrence of its
// text in the line. Input: one line (bytes up to the first CR or LF).

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

#include "tests/hex_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view line(reinterpret_cast<const char*>(data), size);
  line = line.substr(0, line.find_first_of("\r\n"));
  if (line.size() > 4096) return 0;  // the reference is quadratic
  const vostrel::HexLineResult expected = vostrel::test::ReferenceConvertHexLine(line);
  const vostrel::HexLineResult actual = vostrel::ConvertHexLine(line);
  if (actual.badLiteral != expected.badLiteral) std::abort();
  if (expected.badLiteral.empty() && actual.line != expected.line) std::abort();
  return 0;
}
