#pragma once
// The one slicing rule of the Macro A converters, on 1-based byte positions.

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace vostrel::macroa {

// Signed, because cut positions are computed from searches that may have
// found nothing (0) and counts from them may come out negative.
using Pos = std::ptrdiff_t;

// At most `count` bytes of `s` from the 1-based byte position `start`.
// Empty when count < 1 or start lies past the end; a start below 1 counts
// as 1 (count is not reduced); the result stops at the end of `s`.
// Bytes are bytes: a double-byte character may be cut in two.
constexpr std::string_view Take(std::string_view s, Pos start, Pos count) {
  const Pos length = static_cast<Pos>(s.size());
  if (count < 1 || start > length) return {};
  if (start < 1) start = 1;
  return s.substr(static_cast<std::size_t>(start - 1),
                  static_cast<std::size_t>(std::min(count, length - start + 1)));
}

// 1-based byte position of the first occurrence of `needle` in `s`, 0 when
// absent. A plain byte search: case-sensitive, no character boundaries.
constexpr Pos Find(std::string_view s, std::string_view needle) {
  const std::size_t p = s.find(needle);
  return p == std::string_view::npos ? 0 : static_cast<Pos>(p) + 1;
}

}  // namespace vostrel::macroa
