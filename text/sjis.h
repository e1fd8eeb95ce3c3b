#pragma once
// Shift-JIS (code page 932) text rules shared by every stage.
//
// All program text is kept as Shift-JIS bytes in std::string. A double-byte
// character is a lead byte (0x81-0x9F, 0xE0-0xFC) followed by a valid trail
// byte (0x40-0x7E, 0x80-0xFC); every other byte, a lead byte without a valid
// trail after it included, is a single-byte character.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vostrel::sjis {

constexpr bool IsLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

constexpr bool IsTrailByte(unsigned char c) {
  return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

// Length (1 or 2) of the character that starts at byte `pos` of `s`.
inline std::size_t CharLength(std::string_view s, std::size_t pos) {
  return (pos + 1 < s.size() && IsLeadByte(static_cast<unsigned char>(s[pos])) &&
          IsTrailByte(static_cast<unsigned char>(s[pos + 1])))
             ? 2
             : 1;
}

// True when byte `pos` of `s` is the second byte of a double-byte character.
bool IsSecondByte(std::string_view s, std::size_t pos);

// Byte offset of the last whole character of `s` (npos when empty).
std::size_t LastCharStart(std::string_view s);

// True when the last whole character of `s` is the single byte `c`
// (so the second byte of a double-byte character never counts).
bool EndsWithChar(std::string_view s, char c);

// First occurrence of `needle` in `hay` at or after `from`, as a plain byte
// search (npos when absent). An empty needle is never found.
std::size_t FindBytes(std::string_view hay, std::string_view needle, std::size_t from = 0);

// Every occurrence of `old` replaced by `repl`: left to right, non-overlapping,
// the search going on after the inserted text (which is never rescanned), and
// a match never beginning at the second byte of a double-byte character.
std::string ReplaceAll(std::string_view text, std::string_view old, std::string_view repl);

// ReplaceAll from `text` into `out`, which is written only when something is
// replaced; returns the number of replacements made (`out` may not be `text`).
std::size_t ReplaceAllInto(std::string_view text, std::string_view old, std::string_view repl, std::string& out);
// In-place form of ReplaceAll; returns the number of replacements made. The
// text is untouched (no copy) when `old` does not occur.
std::size_t ReplaceAllInPlace(std::string& text, std::string_view old, std::string_view repl);

// ASCII a-z become A-Z; double-byte characters are left byte for byte.
void UpperCaseInPlace(std::span<char> s);

// False only when no byte of `s` is in a-z (so there is nothing to
// upper-case); a trail byte in that range also answers true.
bool MayHoldLowerCase(std::string_view s);

// cp932 bytes to UTF-8 for the screen and the log. Each byte 0x00-0x7F is
// its own code point (both ways); bytes that cp932 does not define come out
// as U+FFFD; nothing here ever fails.
std::string ToUtf8(std::string_view cp932);

// UTF-8 to cp932 bytes, choosing among two codes of one character as
// Windows does; empty optional when a character has no cp932 form. A few
// look-alikes are written as Windows writes them (U+301C as 81 60, U+00A5
// as 5C) and read back as the cp932 character.
std::optional<std::string> FromUtf8(std::string_view utf8);

}  // namespace vostrel::sjis
