#include "pipeline/line_summary.h"

#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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


// A "0" before an "X" (the "0" bit moved up onto the "X" bit), and a word
// byte after a word byte.
inline std::uint32_t Pairs(std::uint32_t previous, std::uint32_t bits) {
  return ((previous << 1) & bits & kLetterX) | (previous & bits & kWordByte);
}

LineSummary Finish(std::uint32_t held, std::uint32_t pairs) {
  LineSummary summary = static_cast<LineSummary>(held & 0xFFFF);
  if (pairs & kLetterX) summary |= kHoldsHexMarker;
  if (pairs & kWordByte) summary |= kHoldsLongWord;
  return summary;
}

LineSummary SummariseBytes(std::string_view line) {
  std::uint32_t held = 0, pairs = 0, previous = 0;
  for (const char c : line) {
    const std::uint32_t bits = kTable[static_cast<unsigned char>(c)];
    held |= bits;
    pairs |= Pairs(previous, bits);
    previous = bits;
  }
  return Finish(held, pairs);
}

#if defined(__SSE2__)
// Sixteen bytes a turn: a line of 16 bytes or more is read in blocks, the
// last block ending at the line's end (it may read some bytes again, which
// changes nothing).
LineSummary SummariseBlocks(std::string_view line) {
  const char* const p = line.data();
  const std::size_t n = line.size();
  auto splat = [](char c) { return _mm_set1_epi8(c); };
  auto is = [](__m128i v, char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); };
  // Bytes from `low` to `low` + `span` (unsigned).
  auto within = [splat](__m128i v, char low, char span) {
    const __m128i t = _mm_sub_epi8(v, splat(low));
    return _mm_cmpeq_epi8(_mm_min_epu8(t, splat(span)), t);
  };
  const __m128i zero = _mm_setzero_si128();
  __m128i cr = zero, lf = zero, semicolon = zero, tab = zero, hash = zero, bracket = zero, open = zero,
          space = zero, dollar = zero, equals = zero, lower = zero, letterT = zero, hex = zero, word2 = zero;
  for (std::size_t o = 0;; o += 16) {
    const std::size_t at = o + 16 <= n ? o : n - 16;
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
    const __m128i isTab = is(v, '\t'), isHash = is(v, '#'), isDollar = is(v, '$'), isEquals = is(v, '='),
                  isSpace = is(v, ' '), isOpenSquare = is(v, '['), isCloseSquare = is(v, ']'), isOpen = is(v, '('),
                  isZero = is(v, '0');
    cr = _mm_or_si128(cr, is(v, '\r'));
    lf = _mm_or_si128(lf, is(v, '\n'));
    semicolon = _mm_or_si128(semicolon, is(v, ';'));
    tab = _mm_or_si128(tab, isTab);
    hash = _mm_or_si128(hash, isHash);
    bracket = _mm_or_si128(bracket, _mm_or_si128(_mm_or_si128(isOpenSquare, isCloseSquare),
                                                 _mm_or_si128(isOpen, is(v, ')'))));
    open = _mm_or_si128(open, isOpen);
    space = _mm_or_si128(space, isSpace);
    dollar = _mm_or_si128(dollar, isDollar);
    equals = _mm_or_si128(equals, isEquals);
    lower = _mm_or_si128(lower, within(v, 'a', 25));
    letterT = _mm_or_si128(letterT, is(v, 'T'));
    // Delimiters: "(" to "9" but ",", then "#$=[]", space and TAB.
    const __m128i delimiter = _mm_or_si128(
        _mm_andnot_si128(is(v, ','), within(v, '(', '9' - '(')),
        _mm_or_si128(_mm_or_si128(_mm_or_si128(isHash, isDollar), _mm_or_si128(isEquals, isSpace)),
                     _mm_or_si128(_mm_or_si128(isOpenSquare, isCloseSquare), isTab)));
    const __m128i isWord = _mm_andnot_si128(delimiter, _mm_set1_epi8(-1));
    // The same flags one byte back: the byte before the block comes from
    // the table (none before the line).
    std::uint32_t before = 0;
    if (at > 0) before = kTable[static_cast<unsigned char>(p[at - 1])];
    const __m128i wordBefore = _mm_or_si128(_mm_slli_si128(isWord, 1),
                                            _mm_cvtsi32_si128((before & kWordByte) ? 0xFF : 0));
    const __m128i zeroBefore = _mm_or_si128(_mm_slli_si128(isZero, 1),
                                            _mm_cvtsi32_si128((before & kZero) ? 0xFF : 0));
    word2 = _mm_or_si128(word2, _mm_and_si128(isWord, wordBefore));
    hex = _mm_or_si128(hex, _mm_and_si128(zeroBefore, _mm_cmpeq_epi8(_mm_or_si128(v, splat(0x20)), splat('x'))));
    if (at + 16 >= n) break;
  }
  auto any = [](__m128i m) { return _mm_movemask_epi8(m) != 0; };
  LineSummary summary = 0;
  if (any(cr)) summary |= kHoldsCr;
  if (any(lf)) summary |= kHoldsLf;
  if (any(semicolon)) summary |= kHoldsSemicolon;
  if (any(tab)) summary |= kHoldsTab;
  if (any(hex)) summary |= kHoldsHexMarker;
  if (any(hash)) summary |= kHoldsHash;
  if (any(bracket)) summary |= kHoldsBracket;
  if (any(open)) summary |= kHoldsOpenRound;
  if (any(space)) summary |= kHoldsSpace;
  if (any(dollar)) summary |= kHoldsDollar;
  if (any(equals)) summary |= kHoldsEquals;
  if (any(lower)) summary |= kHoldsLowerCase;
  if (any(letterT)) summary |= kHoldsT;
  if (any(word2)) summary |= kHoldsLongWord;
  return summary;
}
#endif

}  // namespace

LineSummary Summarise(std::string_view line) {
#if defined(__SSE2__)
  if (line.size() >= 16) return SummariseBlocks(line);
#endif
  return SummariseBytes(line);
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
