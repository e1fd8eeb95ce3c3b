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
  auto splat = [](int c) { return _mm_set1_epi8(static_cast<char>(c)); };
  auto is = [](__m128i v, char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); };
  // Bytes from `low` to `low` + `span` (unsigned).
  auto within = [splat](__m128i v, char low, char span) {
    const __m128i t = _mm_sub_epi8(v, splat(low));
    return _mm_cmpeq_epi8(_mm_min_epu8(t, splat(span)), t);
  };
  // Every byte of `low` gathers the summary's bits 0-7 and every byte of
  // `high` its bits 8-15, each from the byte positions where they hold.
  __m128i low = _mm_setzero_si128(), high = _mm_setzero_si128();
  auto mark = [](__m128i& into, __m128i where, LineSummary bit, int shift) {
    into = _mm_or_si128(into, _mm_and_si128(where, _mm_set1_epi8(static_cast<char>(bit >> shift))));
  };
  for (std::size_t o = 0;; o += 16) {
    const std::size_t at = o + 16 <= n ? o : n - 16;
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
    const __m128i isTab = is(v, '\t'), isHash = is(v, '#'), isDollar = is(v, '$'), isEquals = is(v, '='),
                  isSpace = is(v, ' '), isSquare = _mm_or_si128(is(v, '['), is(v, ']')), isOpen = is(v, '('),
                  isZero = is(v, '0');
    mark(low, is(v, '\r'), kHoldsCr, 0);
    mark(low, is(v, '\n'), kHoldsLf, 0);
    mark(low, is(v, ';'), kHoldsSemicolon, 0);
    mark(low, isTab, kHoldsTab, 0);
    mark(low, isHash, kHoldsHash, 0);
    mark(low, _mm_or_si128(isSquare, _mm_or_si128(isOpen, is(v, ')'))), kHoldsBracket, 0);
    mark(low, isOpen, kHoldsOpenRound, 0);
    mark(high, isSpace, kHoldsSpace, 8);
    mark(high, isDollar, kHoldsDollar, 8);
    mark(high, isEquals, kHoldsEquals, 8);
    mark(high, within(v, 'a', 25), kHoldsLowerCase, 8);
    mark(high, is(v, 'T'), kHoldsT, 8);
    // Delimiters: "(" to "9" but ",", then "#$=[]", space and TAB.
    const __m128i delimiter = _mm_or_si128(
        _mm_andnot_si128(is(v, ','), within(v, '(', '9' - '(')),
        _mm_or_si128(_mm_or_si128(_mm_or_si128(isHash, isDollar), _mm_or_si128(isEquals, isSpace)),
                     _mm_or_si128(isSquare, isTab)));
    const __m128i isWord = _mm_andnot_si128(delimiter, splat(0xFF));
    // The same flags one byte back: the byte before the block comes from
    // the table (none before the line).
    std::uint32_t before = 0;
    if (at > 0) before = kTable[static_cast<unsigned char>(p[at - 1])];
    const __m128i wordBefore =
        _mm_or_si128(_mm_slli_si128(isWord, 1), _mm_cvtsi32_si128((before & kWordByte) ? 0xFF : 0));
    const __m128i zeroBefore =
        _mm_or_si128(_mm_slli_si128(isZero, 1), _mm_cvtsi32_si128((before & kZero) ? 0xFF : 0));
    mark(high, _mm_and_si128(isWord, wordBefore), kHoldsLongWord, 8);
    mark(low, _mm_and_si128(zeroBefore, _mm_cmpeq_epi8(_mm_or_si128(v, splat(0x20)), splat('x'))),
         kHoldsHexMarker, 0);
    if (at + 16 >= n) break;
  }
  // Both gathered into one byte each: fold the halves onto each other.
  __m128i both = _mm_unpacklo_epi8(_mm_or_si128(low, _mm_srli_si128(low, 8)),
                                   _mm_or_si128(high, _mm_srli_si128(high, 8)));  // 8 pairs (low, high)
  both = _mm_or_si128(both, _mm_srli_si128(both, 8));
  both = _mm_or_si128(both, _mm_srli_si128(both, 4));
  both = _mm_or_si128(both, _mm_srli_si128(both, 2));
  return static_cast<LineSummary>(_mm_cvtsi128_si32(both) & 0xFFFF);
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
  return kReadEveryLine;
}

}  // namespace vostrel
