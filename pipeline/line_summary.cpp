#include "pipeline/line_summary.h"

#include <array>

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

LineSummary Summarise(std::string_view line) {
  std::uint32_t held = 0, pairs = 0, previous = 0;
  for (const char c : line) {
    const std::uint32_t bits = kTable[static_cast<unsigned char>(c)];
    held |= bits;
    // A "0" before an "X" (the "0" bit moved up onto the "X" bit), and a
    // word byte after a word byte.
    pairs |= ((previous << 1) & bits & kLetterX) | (previous & bits & kWordByte);
    previous = bits;
  }
  LineSummary summary = static_cast<LineSummary>(held & 0xFFFF);
  if (pairs & kLetterX) summary |= kHoldsHexMarker;
  if (pairs & kWordByte) summary |= kHoldsLongWord;
  return summary;
}

}  // namespace vostrel
