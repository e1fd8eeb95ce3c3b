// The hexadecimal conversion of a line against the plain form it must
// equal: every literal, in scan order, replacing every occurrence of its
// text in the line. Input: one line (bytes up to the first CR or LF).

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

#include "pipeline/stages/stages.h"
#include "text/sjis.h"

namespace {

// The conversion as first written: one ReplaceAll over the line per literal,
// in scan order. Slow on long lines, plain to read; the stage must give
// the same result.
vostrel::HexLineResult ReferenceConvertHexLine(std::string_view line) {
  vostrel::HexLineResult result;
  std::string upper(line);
  vostrel::sjis::UpperCaseInPlace(upper);
  result.line = upper;
  auto isHexDigit = [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || c == 'X'; };
  std::string literal;
  auto evaluate = [&]() -> bool {
    const std::string t = std::exchange(literal, std::string());
    if (t.size() <= 2 || t[1] != 'X') return true;
    std::string_view digits = std::string_view(t).substr(2);
    if (digits.find('X') != std::string_view::npos) return result.badLiteral = t, false;
    const std::size_t first = digits.find_first_not_of('0');
    digits = first == std::string_view::npos ? std::string_view() : digits.substr(first);
    if (digits.size() > 8) return result.badLiteral = t, false;
    std::uint32_t value = 0;
    for (char c : digits) value = value * 16 + static_cast<std::uint32_t>(c <= '9' ? c - '0' : c - 'A' + 10);
    result.line = vostrel::sjis::ReplaceAll(result.line, t, std::to_string(static_cast<std::int32_t>(value)));
    return true;
  };
  for (char c : upper) {
    if (!literal.empty() && isHexDigit(c)) {
      literal += c;
    } else if (c == '0' && literal.empty()) {
      literal = "0";
    } else if (!literal.empty() && !evaluate()) {
      return result;
    }
  }
  if (!literal.empty()) evaluate();
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view line(reinterpret_cast<const char*>(data), size);
  line = line.substr(0, line.find_first_of("\r\n"));
  if (line.size() > 4096) return 0;  // the reference is quadratic
  const vostrel::HexLineResult expected = ReferenceConvertHexLine(line);
  const vostrel::HexLineResult actual = vostrel::ConvertHexLine(line);
  if (actual.badLiteral != expected.badLiteral) std::abort();
  if (expected.badLiteral.empty() && actual.line != expected.line) std::abort();
  return 0;
}
