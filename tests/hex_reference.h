#pragma once
// The hexadecimal conversion of a line as first written, for tests and the
// fuzzer to hold the stage to.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "pipeline/stages/stages.h"
#include "text/sjis.h"

namespace vostrel::test {

// The conversion as first written: one ReplaceAll over the line per literal,
// in scan order. Slow on long lines, plain to read; the stage must give
// the same result.
inline HexLineResult ReferenceConvertHexLine(std::string_view line) {
  HexLineResult result;
  std::string upper(line);
  sjis::UpperCaseInPlace(upper);
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
    result.line = sjis::ReplaceAll(result.line, t, std::to_string(static_cast<std::int32_t>(value)));
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

}  // namespace vostrel::test
