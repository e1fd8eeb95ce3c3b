#include "pipeline/line_summary.h"

#include <array>
#include <bit>
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
// The summary bits each byte of a block sets: bits 0-7 in `low`, 8-15 in
// `high`, byte by byte. `ends` flags bytes that end a line (an LF, the CR
// of a CR LF): they set nothing and pair with nothing. `wordBefore` and
// `zeroBefore` say whether the byte before the block is a word byte or a
// "0" (neither where there is none); `wordLast` and `zeroLast` say the same
// of the block's last byte, for the next block.
struct BlockBits {
  __m128i low, high;
  bool wordLast, zeroLast;
};

inline __m128i Splat(int c) { return _mm_set1_epi8(static_cast<char>(c)); }
inline __m128i Is(__m128i v, char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); }

#if defined(__GNUC__)
[[gnu::always_inline]]
#endif
inline BlockBits ByteBits(__m128i v, __m128i ends, bool wordBefore, bool zeroBefore) {
  // Bytes from `low` to `low` + `span` (unsigned).
  auto within = [](__m128i v, char low, char span) {
    const __m128i t = _mm_sub_epi8(v, Splat(low));
    return _mm_cmpeq_epi8(_mm_min_epu8(t, Splat(span)), t);
  };
  BlockBits bits{_mm_setzero_si128(), _mm_setzero_si128(), false, false};
  auto mark = [](__m128i& into, __m128i where, LineSummary bit, int shift) {
    into = _mm_or_si128(into, _mm_and_si128(where, _mm_set1_epi8(static_cast<char>(bit >> shift))));
  };
  const __m128i isTab = Is(v, '\t'), isHash = Is(v, '#'), isDollar = Is(v, '$'), isEquals = Is(v, '='),
                isSpace = Is(v, ' '), isSquare = _mm_or_si128(Is(v, '['), Is(v, ']')), isOpen = Is(v, '('),
                isZero = Is(v, '0');
  mark(bits.low, _mm_andnot_si128(ends, Is(v, '\r')), kHoldsCr, 0);
  mark(bits.low, _mm_andnot_si128(ends, Is(v, '\n')), kHoldsLf, 0);
  mark(bits.low, Is(v, ';'), kHoldsSemicolon, 0);
  mark(bits.low, isTab, kHoldsTab, 0);
  mark(bits.low, isHash, kHoldsHash, 0);
  mark(bits.low, _mm_or_si128(isSquare, _mm_or_si128(isOpen, Is(v, ')'))), kHoldsBracket, 0);
  mark(bits.low, isOpen, kHoldsOpenRound, 0);
  mark(bits.high, isSpace, kHoldsSpace, 8);
  mark(bits.high, isDollar, kHoldsDollar, 8);
  mark(bits.high, isEquals, kHoldsEquals, 8);
  mark(bits.high, within(v, 'a', 25), kHoldsLowerCase, 8);
  mark(bits.high, Is(v, 'T'), kHoldsT, 8);
  // Delimiters: "(" to "9" but ",", then "#$=[]", space and TAB.
  const __m128i delimiter = _mm_or_si128(
      _mm_andnot_si128(Is(v, ','), within(v, '(', '9' - '(')),
      _mm_or_si128(_mm_or_si128(_mm_or_si128(isHash, isDollar), _mm_or_si128(isEquals, isSpace)),
                   _mm_or_si128(isSquare, isTab)));
  const __m128i isWord = _mm_andnot_si128(_mm_or_si128(delimiter, ends), Splat(0xFF));
  // The same flags one byte back.
  const __m128i wordBeforeBytes = _mm_or_si128(_mm_slli_si128(isWord, 1), _mm_cvtsi32_si128(wordBefore ? 0xFF : 0));
  const __m128i zeroBeforeBytes = _mm_or_si128(_mm_slli_si128(isZero, 1), _mm_cvtsi32_si128(zeroBefore ? 0xFF : 0));
  mark(bits.high, _mm_and_si128(isWord, wordBeforeBytes), kHoldsLongWord, 8);
  mark(bits.low, _mm_and_si128(zeroBeforeBytes, _mm_cmpeq_epi8(_mm_or_si128(v, Splat(0x20)), Splat('x'))),
       kHoldsHexMarker, 0);
  bits.wordLast = (_mm_movemask_epi8(isWord) & 0x8000) != 0;
  bits.zeroLast = (_mm_movemask_epi8(isZero) & 0x8000) != 0;
  return bits;
}

// The bits gathered byte by byte in `low` and `high` as one summary.
inline LineSummary Fold(__m128i low, __m128i high) {
  __m128i both = _mm_unpacklo_epi8(_mm_or_si128(low, _mm_srli_si128(low, 8)),
                                   _mm_or_si128(high, _mm_srli_si128(high, 8)));  // 8 pairs (low, high)
  both = _mm_or_si128(both, _mm_srli_si128(both, 8));
  both = _mm_or_si128(both, _mm_srli_si128(both, 4));
  both = _mm_or_si128(both, _mm_srli_si128(both, 2));
  return static_cast<LineSummary>(_mm_cvtsi128_si32(both) & 0xFFFF);
}

// Sixteen bytes a turn: a line of 16 bytes or more is read in blocks, the
// last block ending at the line's end (it may read some bytes again, which
// changes nothing).
LineSummary SummariseBlocks(std::string_view line) {
  const char* const p = line.data();
  const std::size_t n = line.size();
  __m128i low = _mm_setzero_si128(), high = _mm_setzero_si128();
  for (std::size_t o = 0;; o += 16) {
    const std::size_t at = o + 16 <= n ? o : n - 16;
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
    // The byte before the block comes from the table (none before the line).
    const std::uint32_t before = at > 0 ? kTable[static_cast<unsigned char>(p[at - 1])] : 0;
    const BlockBits bits = ByteBits(v, _mm_setzero_si128(), before & kWordByte, before & kZero);
    low = _mm_or_si128(low, bits.low);
    high = _mm_or_si128(high, bits.high);
    if (at + 16 >= n) break;
  }
  return Fold(low, high);
}

// The whole text in blocks of 16 bytes: each LF ends a line, and a line's
// summary gathers the bits of its bytes in the blocks it spans.
void SplitBlocks(std::string_view text, LineSink& sink) {
  const char* const p = text.data();
  const std::size_t n = text.size();
  // Bytes below k set: kFirst + 16 - k loads that mask.
  alignas(16) static constexpr char kFirst[32] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  auto below = [](unsigned k) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(kFirst + 16 - k)); };
  __m128i low = _mm_setzero_si128(), high = _mm_setzero_si128();
  bool wordBefore = false, zeroBefore = false;
  std::size_t lineStart = 0;
  alignas(16) char tail[32];
  for (std::size_t o = 0; o < n; o += 16) {
    // The block and the block one byte on; near the end from a copy
    // padded with "." bytes, which set no bit and pair with nothing.
    const char* block = p + o;
    if (o + 17 > n) {
      std::memset(tail, '.', sizeof tail);
      std::memcpy(tail, p + o, n - o);
      block = tail;
    }
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 1));
    const __m128i lf = Is(v, '\n');
    const __m128i ends = _mm_or_si128(lf, _mm_and_si128(Is(v, '\r'), Is(next, '\n')));
    BlockBits bits = ByteBits(v, ends, wordBefore, zeroBefore);
    wordBefore = bits.wordLast;
    zeroBefore = bits.zeroLast;
    unsigned lineFeeds = static_cast<unsigned>(_mm_movemask_epi8(lf));
    while (lineFeeds != 0) {
      const unsigned k = static_cast<unsigned>(std::countr_zero(lineFeeds));
      lineFeeds &= lineFeeds - 1;
      const __m128i mine = below(k);
      const std::size_t at = o + k;
      std::size_t end = at;
      if (end > lineStart && p[end - 1] == '\r') --end;
      sink.Line(p + lineStart, end - lineStart,
                Fold(_mm_or_si128(low, _mm_and_si128(bits.low, mine)), _mm_or_si128(high, _mm_and_si128(bits.high, mine))));
      low = high = _mm_setzero_si128();
      // The bytes up to the LF are done with.
      const __m128i done = below(k + 1);
      bits.low = _mm_andnot_si128(done, bits.low);
      bits.high = _mm_andnot_si128(done, bits.high);
      lineStart = at + 1;
    }
    low = _mm_or_si128(low, bits.low);
    high = _mm_or_si128(high, bits.high);
  }
  if (lineStart < n) sink.Line(p + lineStart, n - lineStart, Fold(low, high));
}
#endif

}  // namespace

LineSummary Summarise(std::string_view line) {
#if defined(__SSE2__)
  if (line.size() >= 16) return SummariseBlocks(line);
#endif
  return SummariseBytes(line);
}

void SplitSourceLines(std::string_view text, LineSink& sink) {
#if defined(__SSE2__)
  SplitBlocks(text, sink);
#else
  const char* const end = text.data() + text.size();
  for (const char* start = text.data(); start < end;) {
    const char* lf = static_cast<const char*>(std::memchr(start, '\n', static_cast<std::size_t>(end - start)));
    if (!lf) lf = end;
    const char* lineEnd = lf;
    // The CR of a CR LF is no part of the line.
    if (lf < end && lineEnd > start && lineEnd[-1] == '\r') --lineEnd;
    const std::string_view line(start, static_cast<std::size_t>(lineEnd - start));
    sink.Line(start, line.size(), Summarise(line));
    start = lf + 1;
  }
#endif
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
