#pragma once
// The one slicing rule of the Macro A converters, on 1-based byte positions.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
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

// Which of the bytes from " " to "_" (upper-case letters, digits and the
// signs of the keywords) occur in a text, as one bit each; other bytes are
// not recorded.
constexpr std::uint64_t ByteBit(unsigned char byte) {
  return byte >= 0x20 && byte < 0x60 ? std::uint64_t{1} << (byte - 0x20) : 0;
}
constexpr std::uint64_t BytesOf(std::string_view text) {
  std::uint64_t bits = 0;
  for (const char c : text) bits |= ByteBit(static_cast<unsigned char>(c));
  return bits;
}

// The bytes of a line (BytesOf), gathered in one pass, so that a search for
// a keyword with a byte that the line does not hold needs no look at it.
class LineBytes {
 public:
  explicit LineBytes(std::string_view s) {
    for (const char c : s) bits_ |= kBits[static_cast<unsigned char>(c)];
  }
  // False when the line lacks a byte of a text whose BytesOf is `wanted`.
  bool MayHold(std::uint64_t wanted) const { return (wanted & ~bits_) == 0; }

 private:
  static constexpr std::array<std::uint64_t, 256> kBits = [] {
    std::array<std::uint64_t, 256> bits{};
    for (unsigned c = 0; c < 256; ++c) bits[c] = ByteBit(static_cast<unsigned char>(c));
    return bits;
  }();
  std::uint64_t bits_ = 0;
};

// A text to look for, with its BytesOf worked out when the program is built.
struct Keyword {
  template <std::size_t N>
  consteval Keyword(const char (&literal)[N]) : Keyword(std::string_view(literal, N - 1)) {}
  consteval Keyword(std::string_view text) : text(text), bytes(BytesOf(text)) {}
  std::string_view text;
  std::uint64_t bytes;
};

// Find(s, keyword) where `bytes` are the bytes of `s`.
inline Pos Find(std::string_view s, const LineBytes& bytes, Keyword keyword) {
  return bytes.MayHold(keyword.bytes) ? Find(s, keyword.text) : 0;
}

}  // namespace vostrel::macroa
