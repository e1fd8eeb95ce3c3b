// 16進から10進: every "0X" constant becomes its decimal value; a line that
// holds one comes back upper-cased.

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstring>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pipeline/compile_run.h"
#include "pipeline/line_summary.h"
#include "pipeline/source_map.h"
#include "pipeline/stage_frame.h"
#include "pipeline/stages/line_walk.h"
#include "pipeline/stages/stages.h"
#include "text/sjis.h"

namespace vostrel {

namespace {

constexpr std::string_view kStage = "16進から10進";

// The bytes that continue a literal once it has begun ("X" included).
bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || c == 'X';
}

// True when the line holds "0X" once upper-cased. "0" is never part of a
// double-byte character, so the byte after it always starts a character of
// its own and a plain byte test is exact.
bool HasHexMarker(std::string_view line) {
  // Looked for from the "X" side: a line holds few X's but many 0's.
  for (const char x : {'X', 'x'}) {
    for (std::size_t at = line.find(x, 1); at != std::string_view::npos; at = line.find(x, at + 1))
      if (line[at - 1] == '0') return true;
  }
  return false;
}

// The decimal text of the literal `t` ("0X" + at least one digit), the bit
// pattern read as a signed 32-bit number; false when it is no 32-bit
// hexadecimal number (a second X, more than eight significant digits).
bool HexLiteralNumber(std::string_view t, std::int32_t& number) {
  std::string_view digits = t.substr(2);
  if (digits.find('X') != std::string_view::npos) return false;
  const std::size_t first = digits.find_first_not_of('0');
  digits = first == std::string_view::npos ? std::string_view() : digits.substr(first);
  if (digits.size() > 8) return false;
  std::uint32_t value = 0;
  for (char c : digits)
    value = value * 16 + static_cast<std::uint32_t>(c <= '9' ? c - '0' : c - 'A' + 10);
  number = static_cast<std::int32_t>(value);
  return true;
}

void AppendDecimal(std::string& out, std::int32_t value) {
  char digits[16];
  out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

}  // namespace

// How the conversion works. Scanning the upper-cased line U cuts it into
// runs: a run begins at a "0" that continues no other run and goes on over
// HexDigits. A run that begins "0X" and has more bytes is a literal; the
// literals are evaluated in the order they are scanned, and each evaluation
// replaces every occurrence of its text in the line. Done literally that is
// one pass over the line per literal, which is quadratic on a long line
// with many constants; the result is the same when it is worked out per run:
//  - Every occurrence of a literal text starts at a "0" followed by "X" and
//    lies inside one run (it consists of HexDigits only, and every "0" of
//    the line belongs to a run). Replacements in one run never touch
//    another, so each run can be rewritten on its own.
//  - A literal run holds one "X", so its only place a text can match is its
//    start, and it does so for every literal text that is a prefix of it.
//    The first of those texts to be evaluated replaces it; what is left
//    after that is digits, where nothing more can match.
//  - Any other run ("00X1X2", say) can hold several places, and a
//    replacement can make a new one (a decimal ending in "0" before an
//    "X"). Those runs are rewritten by evaluating, in scan order, just the
//    literal texts that occur in them.
// Only a bad literal makes the line unusable: the first one scanned is
// the one reported.

namespace {

// The distinct literal texts of a line, sorted, with the scan indices
// (0-based) of the literals of each text.
struct LiteralTexts {
  std::vector<std::string_view> text;      // sorted, distinct
  std::vector<std::int32_t> value;         // per text
  std::vector<std::uint32_t> rangeStart;   // per text, into `indices`; one more at the end
  std::vector<std::uint32_t> indices;      // ascending within each text's range
  std::vector<std::uint32_t> replacedBy;   // per text: the prefix text evaluated first
  std::size_t longest = 0;

  // The text equal to `t`, or npos.
  std::size_t Find(std::string_view t) const {
    const auto it = std::lower_bound(text.begin(), text.end(), t);
    return it != text.end() && *it == t ? static_cast<std::size_t>(it - text.begin())
                                        : std::string_view::npos;
  }
  // The first scan index of text `id` after `after` (scan index + 1, so 0
  // means from the start), as scan index + 1; 0 when there is none.
  std::uint64_t NextAfter(std::size_t id, std::uint64_t after) const {
    const auto begin = indices.begin() + rangeStart[id], end = indices.begin() + rangeStart[id + 1];
    const auto it = std::upper_bound(begin, end, after, [](std::uint64_t value, std::uint32_t index) {
      return value < std::uint64_t(index) + 1;
    });
    return it == end ? 0 : std::uint64_t(*it) + 1;
  }
};

bool IsDigitAfterX(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

// Rewrites a run that is no literal: the literal texts that occur in it are
// evaluated in scan order until none is left.
std::string RewriteOtherRun(std::string run, const LiteralTexts& texts) {
  std::uint64_t done = 0;  // scan index + 1 of the last evaluation applied
  for (;;) {
    std::uint64_t next = 0;
    std::size_t chosen = 0;
    for (std::size_t q = run.find("0X"); q != std::string::npos; q = run.find("0X", q + 1)) {
      std::size_t end = q + 2;
      while (end < run.size() && end - q < texts.longest && IsDigitAfterX(run[end])) ++end;
      for (std::size_t length = 3; q + length <= end; ++length) {
        const std::size_t id = texts.Find(std::string_view(run).substr(q, length));
        if (id == std::string_view::npos) continue;
        const std::uint64_t at = texts.NextAfter(id, done);
        if (at != 0 && (next == 0 || at < next)) {
          next = at;
          chosen = id;
        }
      }
    }
    if (next == 0) return run;
    sjis::ReplaceAllInPlace(run, texts.text[chosen], std::to_string(texts.value[chosen]));
    done = next;
  }
}

}  // namespace

namespace {

// Per byte: the value of a hexadecimal digit in either case (0-15),
// kLetterX for "X" and "x", kNoRunByte for every byte that ends a run. Two
// bytes of a run are the same once upper-cased when their entries are.
constexpr std::uint8_t kLetterX = 16, kNoRunByte = 255;
constexpr std::array<std::uint8_t, 256> kRunByte = [] {
  std::array<std::uint8_t, 256> table{};
  table.fill(kNoRunByte);
  for (int c = 0; c < 10; ++c) table['0' + c] = static_cast<std::uint8_t>(c);
  for (int c = 0; c < 6; ++c) table['A' + c] = table['a' + c] = static_cast<std::uint8_t>(10 + c);
  table['X'] = table['x'] = kLetterX;
  return table;
}();

std::uint8_t RunByte(char c) { return kRunByte[static_cast<unsigned char>(c)]; }
char UpperByte(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Eight bytes at a time: the high bit of each byte of a word says something
// of that byte.
constexpr std::uint64_t kOnes = 0x0101010101010101ULL, kHigh = 0x8080808080808080ULL;

std::uint64_t LoadWord(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// The bytes of `word` equal to `c` (exact: no carry crosses a byte).
std::uint64_t BytesEqual(std::uint64_t word, unsigned char c) {
  const std::uint64_t v = word ^ (kOnes * c);
  return ~(((v & ~kHigh) + ~kHigh) | v) & kHigh;
}

// `word` with a-z upper-cased; every byte below 0x80.
std::uint64_t UpperCaseAsciiWord(std::uint64_t word) {
  const std::uint64_t lower = (word + 0x1F * kOnes) & ~(word + 0x05 * kOnes) & kHigh;
  return word ^ (lower >> 2);
}

// What ConvertPlainHexLine made of a line.
enum class HexScan {
  NoMarker,    // no "0X" once upper-cased: the line stays as it is
  Converted,   // the converted line is in `converted`
  BadLiteral,  // the first literal scanned is no 32-bit number
  Other,       // a run that is no literal holds "0X", or there are many literals
};

// The room ConvertPlainHexLine works in, kept from line to line.
struct PlainHexRoom {
  std::vector<std::uint64_t> zeros;  // a bit per byte: a "0"
  std::string upper, out;
};

// What MarkZeros saw besides the "0" bytes.
struct LineBytesSeen {
  bool doubleByte = false;  // a byte with its high bit set
  bool letterT = false;     // "T" or "t"
};

// Marks the "0" bytes of `text` in `zeros`, one bit per byte (room for
// them and one word more, cleared).
LineBytesSeen MarkZeros(std::string_view text, std::uint64_t* zeros) {
  const std::size_t n = text.size();
  LineBytesSeen seen;
  if (n < 8) {
    for (std::size_t i = 0; i < n; ++i) {
      if (text[i] == '0') zeros[0] |= std::uint64_t{1} << i;
      seen.doubleByte = seen.doubleByte || static_cast<unsigned char>(text[i]) >= 0x80;
      seen.letterT = seen.letterT || text[i] == 'T' || text[i] == 't';
    }
    return seen;
  }
  std::uint64_t high = 0, letterT = 0;
  auto mark = [&](std::size_t at) {
    const std::uint64_t word = LoadWord(text.data() + at);
    high |= word;
    letterT |= BytesEqual(word | 0x20 * kOnes, 't');
    // One bit per byte, gathered from the bytes' high bits.
    const std::uint64_t bits = ((BytesEqual(word, '0') >> 7) * 0x0102040810204080ULL) >> 56;
    zeros[at / 64] |= bits << (at % 64);
    if (at % 64 > 56) zeros[at / 64 + 1] |= bits >> (64 - at % 64);
  };
  for (std::size_t at = 0; at + 8 <= n; at += 8) mark(at);
  // The last word may overlap the one before it: marking a byte twice
  // changes nothing.
  if (n % 8 != 0) mark(n - 8);
  seen.doubleByte = (high & kHigh) != 0;
  seen.letterT = letterT != 0;
  return seen;
}

// What the converted line `converted` may hold (line_summary.h), from what
// the line held `before`, so that it need not be read again. The
// conversion adds digits and "-", upper-cases a-z outside double-byte
// characters and takes out every "0X" (each is in a literal) and maybe
// letters side by side (a literal's digits): the bytes of the other bits
// stay as they were. A line of single bytes holds "T" when it held "T" or
// "t", and no a-z; `upper`, the line upper-cased when it holds a
// double-byte character, tells both otherwise. Two word bytes side by side
// are looked for as the syntax check, which asks for them, sees them. A bit
// not named here says "look".
LineSummary ConvertedSummary(LineSummary before, std::string_view converted, const LineBytesSeen& seen,
                             std::string_view upper) {
  constexpr LineSummary kKept = kHoldsCr | kHoldsLf | kHoldsSemicolon | kHoldsTab | kHoldsHash | kHoldsBracket |
                                kHoldsOpenRound | kHoldsSpace | kHoldsDollar | kHoldsEquals;
  constexpr LineSummary kNamed = kKept | kHoldsHexMarker | kHoldsLowerCase | kHoldsT | kHoldsLongWord;
  bool letterT = seen.letterT, lowerCase = false;
  if (seen.doubleByte) {
    letterT = upper.find('T') != std::string_view::npos;
    lowerCase = sjis::MayHoldLowerCase(upper);
  }
  return static_cast<LineSummary>((before & kKept) | (kHoldsAll & ~kNamed) | (letterT ? kHoldsT : 0) |
                                  (lowerCase ? kHoldsLowerCase : 0) |
                                  (HasLongWord(converted) ? kHoldsLongWord : 0));
}

// The eight decimal digits of `value` (below 10^8), leading zeros and all,
// as the bytes of a word, the first digit first.
std::uint64_t EightDigits(std::uint32_t value) {
  const std::uint32_t high = value / 10000, low = value % 10000;
  // Four numbers below 100 in four lanes of 16 bits, then each split in
  // its tens (x * 103 >> 10 is x / 10 below 179) and ones.
  const std::uint64_t x = std::uint64_t{high / 100} | std::uint64_t{high % 100} << 16 |
                          std::uint64_t{low / 100} << 32 | std::uint64_t{low % 100} << 48;
  const std::uint64_t tens = ((x * 103) >> 10) & 0x000F000F000F000FULL;
  return (tens | (x - tens * 10) << 8) + '0' * kOnes;
}

// The decimal text of `value` at `o`, which has room for sixteen bytes;
// the end of the text. Built in a register and stored at once, without a
// branch on the number of digits below 10^8.
char* WriteDecimal(char* o, std::int32_t value) {
  auto magnitude = static_cast<std::uint32_t>(value);
  if (value < 0) {
    *o++ = '-';
    magnitude = 0u - magnitude;
  }
  if (magnitude >= 100000000u) {
    const std::uint32_t high = magnitude / 100000000u;
    if (high >= 10) *o++ = static_cast<char>('0' + high / 10);
    *o++ = static_cast<char>('0' + high % 10);
    const std::uint64_t digits = EightDigits(magnitude % 100000000u);
    std::memcpy(o, &digits, 8);
    return o + 8;
  }
  const int length = 1 + (magnitude > 9u) + (magnitude > 99u) + (magnitude > 999u) + (magnitude > 9999u) +
                     (magnitude > 99999u) + (magnitude > 999999u) + (magnitude > 9999999u);
  // The leading zeros shifted out.
  const std::uint64_t digits = EightDigits(magnitude) >> (8 * (8 - length));
  std::memcpy(o, &digits, 8);
  return o + length;
}

// Appends bytes `from` to `to` of `text` (`n` bytes) to `o`, upper-cased
// when `upperCase` (the text has no double-byte character then); may write
// up to seven bytes past the end, which the caller writes over or leaves.
char* CopyBytes(const char* text, std::size_t from, std::size_t to, std::size_t n, bool upperCase, char* o) {
  while (from < to) {
    std::uint64_t word;
    if (from + 8 <= n) {
      word = LoadWord(text + from);
    } else if (n >= 8) {
      // The last bytes, from the word that ends the text.
      word = LoadWord(text + n - 8) >> (8 * (from + 8 - n));
    } else {
      for (; from < to; ++from) *o++ = upperCase ? UpperByte(text[from]) : text[from];
      break;
    }
    if (upperCase) word = UpperCaseAsciiWord(word);
    std::memcpy(o, &word, 8);
    const std::size_t step = std::min<std::size_t>(8, to - from);
    o += step;
    from += step;
  }
  return o;
}

// The common line, each value read once: every run that holds "0X" is a
// literal, and there are at most kFewLiterals of them. A literal's text is
// replaced by the first literal text evaluated (the first scanned) that is
// a prefix of it. The line is read as it is and upper-cased as it is
// copied; one with a double-byte character is upper-cased first, as
// sjis::UpperCaseInPlace does. Every byte of a run is a character of its
// own (no "0" and no hexadecimal digit is a lead byte, no "0" a trail
// byte), so a run reads the same before and after the upper-casing.
constexpr std::size_t kFewLiterals = 32;

HexScan ConvertPlainHexLine(std::string_view line, PlainHexRoom& room, std::string_view& converted,
                            LineSummary& summary, std::string& badLiteral) {
  const std::size_t zeroWords = line.size() / 64 + 2;
  if (room.zeros.size() < zeroWords) room.zeros.resize(zeroWords);
  std::uint64_t* const zeros = room.zeros.data();
  std::fill_n(zeros, zeroWords, 0);
  const LineBytesSeen seen = MarkZeros(line, zeros);
  const bool doubleByte = seen.doubleByte;
  if (doubleByte) {
    room.upper.assign(line);
    sjis::UpperCaseInPlace(room.upper);
    line = room.upper;
  }
  const char* const p = line.data();
  const std::size_t n = line.size();
  // A literal's decimal is at most one byte longer than its text (eight
  // digits give "-2147483648"); and CopyBytes and WriteDecimal may write
  // some bytes on.
  if (room.out.size() < n + n / 3 + 24) room.out.resize(n + n / 3 + 24);
  char* const out = room.out.data();
  struct Literal {
    std::uint32_t start, length;
    std::int32_t value;
  };
  std::array<Literal, kFewLiterals> literals;
  std::size_t count = 0;
  char* o = out;
  std::size_t copied = 0;
  // The next "0" from `from` on, `n` when there is none; `word` and `bits`
  // follow the marks.
  std::size_t word = 0;
  std::uint64_t bits = zeros[0];
  auto nextZero = [&](std::size_t from) {
    if (from >= n) return n;
    if (from / 64 != word) {
      word = from / 64;
      bits = zeros[word];
    }
    bits &= ~std::uint64_t{0} << (from % 64);
    while (bits == 0) {
      if (++word * 64 >= n) return n;
      bits = zeros[word];
    }
    return word * 64 + static_cast<std::size_t>(std::countr_zero(bits));
  };
  for (std::size_t i = nextZero(0); i < n; i = nextZero(i)) {
    // A run: the "0" and the digits and X's after it.
    std::size_t end = i + 1;
    if (end == n || RunByte(p[end]) != kLetterX) {
      // No literal: passed over, unless it holds "0X".
      for (; end < n && RunByte(p[end]) != kNoRunByte; ++end)
        if (RunByte(p[end]) == kLetterX && p[end - 1] == '0') return HexScan::Other;
      i = end;
      continue;
    }
    if (i + 2 == n || RunByte(p[i + 2]) == kNoRunByte) return HexScan::Other;  // "0X" alone
    // A literal, read as it is scanned: the value of its last eight digits,
    // and how many digits lead with "0".
    std::uint32_t value = 0;
    std::size_t leadingZeros = 0;
    unsigned digits = 0;  // every digit's entry, joined
    bool significant = false;  // a digit other than "0" was seen (the value may since have wrapped to 0)
    for (end = i + 2; end < n; ++end) {
      const std::uint8_t digit = RunByte(p[end]);
      if (digit == kNoRunByte) break;
      digits |= digit;
      value = value << 4 | (digit & 15u);
      significant = significant || (digit & 15u) != 0;
      leadingZeros += !significant;
    }
    if ((digits & kLetterX) != 0 || end - i - 2 - leadingZeros > 8) {
      badLiteral.resize(end - i);
      for (std::size_t k = i; k < end; ++k) badLiteral[k - i] = UpperByte(p[k]);
      return HexScan::BadLiteral;
    }
    if (count == kFewLiterals) return HexScan::Other;
    const auto length = static_cast<std::uint32_t>(end - i);
    literals[count] = {static_cast<std::uint32_t>(i), length, static_cast<std::int32_t>(value)};
    std::size_t winner = count;
    for (std::size_t k = 0; k < count; ++k)
      if (literals[k].length <= length &&
          std::equal(p + i, p + i + literals[k].length, p + literals[k].start,
                     [](char a, char b) { return RunByte(a) == RunByte(b); })) {
        winner = k;
        break;
      }
    ++count;
    o = CopyBytes(p, copied, i, n, !doubleByte, o);
    o = WriteDecimal(o, literals[winner].value);
    copied = i + literals[winner].length;
    i = end;
  }
  if (count == 0) return HexScan::NoMarker;
  o = CopyBytes(p, copied, n, n, !doubleByte, o);
  converted = std::string_view(out, static_cast<std::size_t>(o - out));
  summary = ConvertedSummary(summary, converted, seen, room.upper);
  return HexScan::Converted;
}

// Every other line: the runs worked out one by one (see above), from the
// line upper-cased in `upper`.
void ConvertAnyHexLine(std::string upper, HexLineResult& result) {
  const std::string_view u = upper;

  // The runs, by scanning: a lead byte is neither "0" nor a hex digit, so a
  // double-byte character always ends a run and a trail byte never starts
  // one. The literals are checked in scan order; the first bad one ends the
  // conversion.
  struct Run {
    std::size_t start, length;
    std::uint32_t text;  // literal text id; kNoLiteral for other runs
  };
  constexpr std::uint32_t kNoLiteral = UINT32_MAX;
  std::vector<Run> runs;
  std::vector<std::uint32_t> literalRun;  // run index of each literal, in scan order
  std::int32_t number = 0;
  for (std::size_t i = 0; i < u.size();) {
    if (u[i] != '0') {
      ++i;
      continue;
    }
    std::size_t end = i + 1;
    while (end < u.size() && IsHexDigit(u[end])) ++end;
    const bool literal = end - i > 2 && u[i + 1] == 'X';
    if (literal && !HexLiteralNumber(u.substr(i, end - i), number)) {
      result.badLiteral = std::string(u.substr(i, end - i));
      return;
    }
    if (literal) literalRun.push_back(static_cast<std::uint32_t>(runs.size()));
    runs.push_back({i, end - i, kNoLiteral});
    i = end;
  }
  if (literalRun.empty()) {
    result.line = std::move(upper);
    return;
  }
  auto literalText = [&](std::uint32_t index) {
    const Run& run = runs[literalRun[index]];
    return u.substr(run.start, run.length);
  };

  // Group the literals by text: sorted by text, then by scan index.
  LiteralTexts texts;
  texts.indices.resize(literalRun.size());
  for (std::uint32_t k = 0; k < texts.indices.size(); ++k) texts.indices[k] = k;
  std::sort(texts.indices.begin(), texts.indices.end(), [&](std::uint32_t a, std::uint32_t b) {
    const int order = literalText(a).compare(literalText(b));
    return order < 0 || (order == 0 && a < b);
  });
  for (std::uint32_t k = 0; k < texts.indices.size(); ++k) {
    const std::uint32_t index = texts.indices[k];
    const std::string_view t = literalText(index);
    if (texts.text.empty() || texts.text.back() != t) {
      texts.text.push_back(t);
      texts.rangeStart.push_back(k);
      HexLiteralNumber(t, number);
      texts.value.push_back(number);
      texts.longest = std::max(texts.longest, t.size());
    }
    runs[literalRun[index]].text = static_cast<std::uint32_t>(texts.text.size() - 1);
  }
  texts.rangeStart.push_back(static_cast<std::uint32_t>(texts.indices.size()));

  // For each text, the prefix text evaluated first (itself among them). In
  // sorted order the texts that are prefixes of a text form the chain on
  // the stack.
  struct Ancestor {
    std::uint32_t id;
    std::uint32_t first;   // scan index of the first of its prefixes evaluated
    std::uint32_t winner;  // that prefix
  };
  std::vector<Ancestor> chain;
  texts.replacedBy.resize(texts.text.size());
  for (std::uint32_t id = 0; id < texts.text.size(); ++id) {
    while (!chain.empty() && !texts.text[id].starts_with(texts.text[chain.back().id])) chain.pop_back();
    Ancestor self{id, texts.indices[texts.rangeStart[id]], id};
    if (!chain.empty() && chain.back().first < self.first) {
      self.first = chain.back().first;
      self.winner = chain.back().winner;
    }
    texts.replacedBy[id] = self.winner;
    chain.push_back(self);
  }

  std::string& out = result.line;
  out.clear();
  out.reserve(u.size());
  std::size_t copied = 0;
  for (const Run& run : runs) {
    out.append(u.substr(copied, run.start - copied));
    const std::string_view t = u.substr(run.start, run.length);
    if (run.text != kNoLiteral) {
      const std::uint32_t winner = texts.replacedBy[run.text];
      AppendDecimal(out, texts.value[winner]);
      out += t.substr(texts.text[winner].size());
    } else if (t.find("0X") != std::string_view::npos) {
      out += RewriteOtherRun(std::string(t), texts);
    } else {
      out += t;
    }
    copied = run.start + run.length;
  }
  out.append(u.substr(copied));
}

}  // namespace

HexLineResult ConvertHexLine(std::string_view line) {
  HexLineResult result;
  ConvertHexLine(line, result);
  return result;
}

void ConvertHexLine(std::string_view line, HexLineResult& result) {
  result.badLiteral.clear();
  PlainHexRoom room;
  std::string_view converted;
  LineSummary summary = kHoldsAll;
  switch (ConvertPlainHexLine(line, room, converted, summary, result.badLiteral)) {
    case HexScan::Converted:
      result.line.assign(converted);
      return;
    case HexScan::BadLiteral:
      return;
    case HexScan::NoMarker:  // nothing to convert, as the stage takes it
      result.line.assign(line);
      sjis::UpperCaseInPlace(result.line);
      return;
    case HexScan::Other:
      break;
  }
  std::string upper(line);
  sjis::UpperCaseInPlace(upper);
  ConvertAnyHexLine(std::move(upper), result);
}

StageEnd RunHexToDecimal(CompileRun& run, StageFrame& frame) {
  frame.AppendLog("16進から10進 -- 開始");
  frame.StartProgress(run.LineCount);
  frame.ShowActivity("16進から10進に変換");
  frame.HighlightLine(1);

  // The whole-text pre-check, line by line ("0X" cannot span a line end).
  // It also tells where the first line to rewrite is, so the loop below
  // looks at no line twice.
  std::int32_t first = 1;
  while (first <= run.LineCount && !(run.MayHold(first, kHoldsHexMarker) && HasHexMarker(run.Line(first))))
    ++first;

  if (first > run.LineCount) {
    frame.AppendLog("16進から10進 -- 無し");
  } else {
    bool changed = false;
    HexLineResult converted;
    PlainHexRoom room;
    const bool walked = WalkLinesHolding(
        run, kHoldsHexMarker, [&](std::int32_t n) { frame.HighlightLine(n); },
        [&](std::int32_t n) {
          const std::string_view line = run.Line(n);
          if (n < first) return n;
          std::string_view plain;
          LineSummary summary = run.WorkLines.summary(static_cast<std::size_t>(n - 1));
          converted.badLiteral.clear();
          switch (ConvertPlainHexLine(line, room, plain, summary, converted.badLiteral)) {
            case HexScan::NoMarker:
              return n;
            case HexScan::Converted:
              run.WorkLines.assign(static_cast<std::size_t>(n - 1), plain, summary);
              changed = true;
              return n;
            case HexScan::BadLiteral:
              break;
            case HexScan::Other:
              ConvertHexLine(line, converted);
              break;
          }
          if (!converted.badLiteral.empty()) {
            if (changed) frame.WorkTextReplaced();
            // The line is still as the earlier stages left it: the literal
            // stands in it as written, maybe in lower case.
            const std::size_t at = FindWord(line, converted.badLiteral);
            frame.AbortRun(sjis::ToUtf8(converted.badLiteral) +
                               " は16進数に変換できません。\nコンパイルを中止します。",
                           std::string(kStage) + " -- 中止",
                           {LineFinding(run, Severity::Error, kStage, n, {}, converted.badLiteral,
                                        at == std::string::npos ? 0 : at)});
            return 0;
          }
          run.SetLine(n, converted.line);
          changed = true;
          return n;
        },
        [&](std::int32_t n) { frame.ShowLineProgress(n, "行目 :16進ﾃﾞｰﾀ検索中"); });
    if (!walked) return StageEnd::EndRun;
    if (changed) frame.WorkTextReplaced();
  }
  frame.AppendLog("16進から10進 -- 完了");
  frame.AppendLog("");
  return StageEnd::Continue;
}

}  // namespace vostrel
