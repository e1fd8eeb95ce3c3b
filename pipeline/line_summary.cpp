#include "pipeline/line_summary.h"

#include <array>
#include <cstring>

namespace vostrel {

namespace {

// Per byte: the summary bits it sets by itself, and three bits for the
// pairs: a word byte, a "0", an "X" or "x".
constexpr std::uint32_t kWordByte = 1u << 16, kZero = 1u << 17, kLetterX = 1u << 18;

constexpr std::array<std::uint32_t, 256> MakeTable() {
  std::array<std::uint32_t, 256> table{};
  for (unsigned c = 0; c < 256; ++c) table[c] = kWordByte;
  for (char c : std::string_view(".0123456789#-+/*[]= \t$()")) table[static_cast<unsigned char>(c)] = 0;
  table['\r'] |= kHoldsCr;
  table['\n'] |= kHoldsLf;
  table[';'] |= kHoldsSemicolon;
  table['\t'] |= kHoldsTab;
  table['#'] |= kHoldsHash;
  for (char c : std::string_view("()[]")) table[static_cast<unsigned char>(c)] |= kHoldsBracket;
  table['('] |= kHoldsOpenRound;
  table[' '] |= kHoldsSpace;
  table['$'] |= kHoldsDollar;
  table['='] |= kHoldsEquals;
  for (unsigned c = 'a'; c <= 'z'; ++c) table[c] |= kHoldsLowerCase;
  table['T'] |= kHoldsT;
  table['0'] |= kZero;
  table['X'] |= kLetterX;
  table['x'] |= kLetterX;
  return table;
}
constexpr std::array<std::uint32_t, 256> kTable = MakeTable();

}  // namespace

namespace {
// A "0" before an "X" (the "0" bit moved up onto the "X" bit), and a word
// byte after a word byte.
inline std::uint32_t Pairs(std::uint32_t previous, std::uint32_t bits) {
  return ((previous << 1) & bits & kLetterX) | (previous & bits & kWordByte);
}
}  // namespace

LineSummary Summarise(std::string_view line) {
  const auto* p = reinterpret_cast<const unsigned char*>(line.data());
  const auto* const end = p + line.size();
  std::uint32_t held = 0, held2 = 0, pairs = 0, pairs2 = 0, previous = 0;
  // Four bytes a turn, in two independent chains.
  for (; end - p >= 4; p += 4) {
    const std::uint32_t b0 = kTable[p[0]], b1 = kTable[p[1]], b2 = kTable[p[2]], b3 = kTable[p[3]];
    held |= b0 | b1;
    held2 |= b2 | b3;
    pairs |= Pairs(previous, b0) | Pairs(b0, b1);
    pairs2 |= Pairs(b1, b2) | Pairs(b2, b3);
    previous = b3;
  }
  for (; p < end; ++p) {
    const std::uint32_t bits = kTable[*p];
    held |= bits;
    pairs |= Pairs(previous, bits);
    previous = bits;
  }
  held |= held2;
  pairs |= pairs2;
  LineSummary summary = static_cast<LineSummary>(held & 0xFFFF);
  if (pairs & kLetterX) summary |= kHoldsHexMarker;
  if (pairs & kWordByte) summary |= kHoldsLongWord;
  return summary;
}

std::size_t CountLineFeeds(std::string_view text) {
  // Eight bytes a turn: a byte equal to LF becomes zero, and each zero byte
  // leaves exactly its high bit set.
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL, kLf = 0x0A0A0A0A0A0A0A0AULL;
  std::size_t count = 0, i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t v;
    std::memcpy(&v, text.data() + i, 8);
    v ^= kLf;
    const std::uint64_t zero = ~(((v & kLow7) + kLow7) | v | kLow7);
    // One bit a byte at the bottom of each byte, summed by a multiply.
    count += static_cast<std::size_t>(((zero >> 7) * 0x0101010101010101ULL) >> 56);
  }
  for (; i < text.size(); ++i) count += text[i] == '\n';
  return count;
}

LineSummary MarkerSummary(std::string_view marker) {
  for (const char c : marker) {
    const LineSummary bit = static_cast<LineSummary>(kTable[static_cast<unsigned char>(c)] & 0xFFFF);
    if (bit != 0) return bit;
  }
  return kHoldsAll;
}

}  // namespace vostrel
