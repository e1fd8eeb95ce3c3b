#include "text/sjis.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace vostrel::sjis {

std::size_t LastCharStart(std::string_view s) {
  if (s.empty()) return std::string_view::npos;
  std::size_t pos = 0, last = 0;
  while (pos < s.size()) {
    last = pos;
    pos += CharLength(s, pos);
  }
  return last;
}

bool EndsWithChar(std::string_view s, char c) {
  const std::size_t last = LastCharStart(s);
  return last != std::string_view::npos && last == s.size() - 1 && s[last] == c;
}

std::size_t FindBytes(std::string_view hay, std::string_view needle, std::size_t from) {
  if (needle.empty() || from > hay.size() || hay.size() - from < needle.size())
    return std::string_view::npos;
  if (needle.size() == 1) return hay.find(needle[0], from);  // memchr
  // Short texts (a line): memchr for the first byte and a compare beat the
  // set-up cost of a general search; the bound keeps the worst case small.
  if (hay.size() - from <= 256) return hay.find(needle, from);
#if defined(__GLIBC__)
  const void* hit = memmem(hay.data() + from, hay.size() - from, needle.data(), needle.size());
  return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - hay.data())
             : std::string_view::npos;
#else
  return hay.find(needle, from);
#endif
}

namespace {

// Decides whether `p` is the second byte of a double-byte character, given a
// position `boundary` <= p known to start a character. Only the run of
// lead-range bytes just before `p` matters: such bytes pair up from the start
// of the run, since every lead byte is also a valid trail byte. The scan never
// goes below `boundary`, so a caller that moves `boundary` forward after each
// test reads every byte at most once.
bool IsTrailAt(std::string_view s, std::size_t boundary, std::size_t p) {
  std::size_t r = p;
  while (r > boundary && IsLeadByte(static_cast<unsigned char>(s[r - 1]))) --r;
  return ((p - r) % 2 == 1) && IsTrailByte(static_cast<unsigned char>(s[p]));
}

}  // namespace

bool IsSecondByte(std::string_view s, std::size_t pos) { return pos < s.size() && IsTrailAt(s, 0, pos); }

std::size_t ReplaceAllInto(std::string_view text, std::string_view old, std::string_view repl, std::string& out) {
  if (old.empty()) return 0;
  std::size_t p = FindBytes(text, old, 0);
  if (p == std::string_view::npos) return 0;

  std::size_t count = 0, copied = 0, boundary = 0;
  while (p != std::string_view::npos) {
    if (IsTrailAt(text, boundary, p)) {
      boundary = p + 1;
      p = FindBytes(text, old, p + 1);
      continue;
    }
    if (count == 0) {
      out.clear();
      out.reserve(text.size() + (repl.size() > old.size() ? text.size() / 8 : 0));
    }
    out.append(text.data() + copied, p - copied);
    out.append(repl);
    copied = p + old.size();
    boundary = p;
    ++count;
    p = FindBytes(text, old, copied);
  }
  if (count == 0) return 0;
  out.append(text.data() + copied, text.size() - copied);
  return count;
}

std::size_t ReplaceAllInPlace(std::string& text, std::string_view old, std::string_view repl) {
  std::string out;
  const std::size_t count = ReplaceAllInto(text, old, repl, out);
  if (count > 0) text.swap(out);
  return count;
}

std::string ReplaceAll(std::string_view text, std::string_view old, std::string_view repl) {
  std::string result(text);
  ReplaceAllInPlace(result, old, repl);
  return result;
}

void UpperCaseInPlace(std::span<char> s) {
  const std::string_view text(s.data(), s.size());
  // Eight single-byte characters at a time while no byte has its high bit
  // (as in MayHoldLowerCase): a-z lose the 0x20 bit.
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL, kHigh = 0x8080808080808080ULL;
  std::size_t i = 0;
  for (; i + 8 <= s.size(); i += 8) {
    std::uint64_t x;
    std::memcpy(&x, s.data() + i, 8);
    if (x & kHigh) break;
    const std::uint64_t lower = (x + 0x1F * kOnes) & ~(x + 0x05 * kOnes) & kHigh;
    if (lower == 0) continue;
    x ^= lower >> 2;
    std::memcpy(s.data() + i, &x, 8);
  }
  for (; i < s.size();) {
    const std::size_t len = CharLength(text, i);
    if (len == 1 && s[i] >= 'a' && s[i] <= 'z') s[i] = static_cast<char>(s[i] - 'a' + 'A');
    i += len;
  }
}

bool MayHoldLowerCase(std::string_view s) {
  // Eight bytes at a time: with the high bits cleared no addition carries
  // into the next byte; a byte is in a-z when adding 0x1F sets its high bit
  // and adding 0x05 does not, and its own high bit was clear.
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL, kHigh = 0x8080808080808080ULL;
  std::size_t i = 0;
  for (; i + 8 <= s.size(); i += 8) {
    std::uint64_t x;
    std::memcpy(&x, s.data() + i, 8);
    const std::uint64_t y = x & ~kHigh;
    if (((y + 0x1F * kOnes) & ~(y + 0x05 * kOnes) & ~x & kHigh) != 0) return true;
  }
  for (; i < s.size(); ++i)
    if (s[i] >= 'a' && s[i] <= 'z') return true;
  return false;
}

namespace {

// The double-byte half of code page 932 (where it comes from, and how it
// differs from the system converters, is told in tools/gen_cp932.py).
constexpr std::size_t kTrailCount = 188;
constexpr char16_t kDoubleByte[60][kTrailCount] = {
#include "text/cp932_table.inc"
};

constexpr std::size_t LeadIndex(unsigned char lead) { return lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + 31; }
constexpr std::size_t TrailIndex(unsigned char trail) { return trail <= 0x7E ? trail - 0x40 : trail - 0x80 + 63; }

constexpr char32_t kReplacement = 0xFFFD;

// The code point of the character at `pos` (of CharLength bytes); U+FFFD
// for a byte or pair that is no character.
char32_t Decode(std::string_view s, std::size_t pos, std::size_t length) {
  const auto c = static_cast<unsigned char>(s[pos]);
  if (length == 2) {
    const char16_t point = kDoubleByte[LeadIndex(c)][TrailIndex(static_cast<unsigned char>(s[pos + 1]))];
    return point ? point : kReplacement;
  }
  if (c < 0x80) return c;
  if (c >= 0xA1 && c <= 0xDF) return 0xFF61 + (c - 0xA1);  // half-width katakana
  return kReplacement;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Which of two codes of one character is written, as Windows chooses:
// JIS X 0208 first, then NEC row 13, then the IBM extensions (FA-FC), the
// NEC-selected IBM extensions (ED-EE) last.
int EncodingRank(unsigned code) {
  const unsigned lead = code >> 8;
  if (lead == 0x87) return 1;
  if (lead >= 0xFA && lead <= 0xFC) return 2;
  if (lead >= 0xED && lead <= 0xEE) return 3;
  return 0;
}

// Code point (BMP only) to its double-byte code; 0 where there is none.
const std::vector<std::uint16_t>& EncodeTable() {
  static const std::vector<std::uint16_t> table = [] {
    std::vector<std::uint16_t> codes(0x10000, 0);
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
      if (!IsLeadByte(static_cast<unsigned char>(lead))) continue;
      for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
        if (!IsTrailByte(static_cast<unsigned char>(trail))) continue;
        const char16_t point = kDoubleByte[LeadIndex(lead)][TrailIndex(trail)];
        const unsigned code = lead << 8 | trail;
        std::uint16_t& slot = codes[point];
        if (point && (!slot || EncodingRank(code) < EncodingRank(slot))) slot = static_cast<std::uint16_t>(code);
      }
    }
    return codes;
  }();
  return table;
}

// Characters that Windows (and the C library) write as the code of a
// look-alike, since a Japanese input method on another system types them
// for the same keys: they are written, and read back as the look-alike.
// Windows' other best-fit forms (accented letters to plain ones and the
// like) lose the character and are refused.
struct BestFit {
  char32_t from;
  std::uint16_t code;  // one byte when below 0x100
};
constexpr BestFit kBestFit[] = {
    {0x00A2, 0x8191}, {0x00A3, 0x8192}, {0x00A5, 0x5C},   {0x00AC, 0x81CA}, {0x2014, 0x815C},
    {0x2016, 0x8161}, {0x203E, 0x7E},   {0x2212, 0x817C}, {0x301C, 0x8160},
};

// The next code point of well-formed UTF-8 at `pos` (advancing it); nullopt
// for a malformed, overlong or surrogate sequence.
std::optional<char32_t> NextUtf8(std::string_view s, std::size_t& pos) {
  const auto lead = static_cast<unsigned char>(s[pos]);
  std::size_t length;
  char32_t c;
  if (lead < 0x80) {
    ++pos;
    return lead;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, c = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, c = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, c = lead & 0x07;
  } else {
    return std::nullopt;
  }
  if (s.size() - pos < length) return std::nullopt;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(s[pos + i]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    c = c << 6 | (next & 0x3F);
  }
  constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
  pos += length;
  return c;
}

}  // namespace

std::string ToUtf8(std::string_view cp932) {
  std::string text;
  text.reserve(cp932.size() + cp932.size() / 2);
  for (std::size_t i = 0; i < cp932.size();) {
    const std::size_t length = CharLength(cp932, i);
    AppendUtf8(text, Decode(cp932, i, length));
    i += length;
  }
  return text;
}

std::optional<std::string> FromUtf8(std::string_view utf8) {
  const std::vector<std::uint16_t>& codes = EncodeTable();
  std::string bytes;
  bytes.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    const std::optional<char32_t> c = NextUtf8(utf8, pos);
    if (!c) return std::nullopt;
    if (*c < 0x80) {
      bytes += static_cast<char>(*c);
    } else if (*c >= 0xFF61 && *c <= 0xFF9F) {
      bytes += static_cast<char>(*c - 0xFF61 + 0xA1);
    } else if (*c <= 0xFFFF && codes[*c]) {
      bytes += static_cast<char>(codes[*c] >> 8);
      bytes += static_cast<char>(codes[*c] & 0xFF);
    } else {
      const auto fit = std::find_if(std::begin(kBestFit), std::end(kBestFit),
                                    [&](const BestFit& f) { return f.from == *c; });
      if (fit == std::end(kBestFit)) return std::nullopt;  // no cp932 form
      if (fit->code > 0xFF) bytes += static_cast<char>(fit->code >> 8);
      bytes += static_cast<char>(fit->code & 0xFF);
    }
  }
  return bytes;
}

}  // namespace vostrel::sjis
