#include "text/sjis.h"

#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <cstdint>
#include <cstring>

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

std::size_t ReplaceAllInPlace(std::string& text, std::string_view old, std::string_view repl) {
  if (old.empty()) return 0;
  std::size_t p = FindBytes(text, old, 0);
  if (p == std::string_view::npos) return 0;

  std::string out;
  std::size_t count = 0, copied = 0, boundary = 0;
  while (p != std::string_view::npos) {
    if (IsTrailAt(text, boundary, p)) {
      boundary = p + 1;
      p = FindBytes(text, old, p + 1);
      continue;
    }
    if (count == 0) out.reserve(text.size() + (repl.size() > old.size() ? text.size() / 8 : 0));
    out.append(text, copied, p - copied);
    out.append(repl);
    copied = p + old.size();
    boundary = p;
    ++count;
    p = FindBytes(text, old, copied);
  }
  if (count == 0) return 0;
  out.append(text, copied, std::string::npos);
  text.swap(out);
  return count;
}

std::string ReplaceAll(std::string_view text, std::string_view old, std::string_view repl) {
  std::string result(text);
  ReplaceAllInPlace(result, old, repl);
  return result;
}

void UpperCaseInPlace(std::string& s) {
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t len = CharLength(s, i);
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

constexpr const char* kCodecName = "Shift_JIS";

// The codec gives some control bytes other code points (0x1A, 0x1C and 0x7F
// trade places): bytes 0x00-0x7F are therefore never handed to it. Each is
// its own code point both ways, and no other byte sequence becomes one.
constexpr bool IsAscii(char c) { return static_cast<unsigned char>(c) < 0x80; }

}  // namespace

std::string ToUtf8(std::string_view cp932) {
  // Plain ASCII needs no conversion (the common case for NC text).
  if (std::all_of(cp932.begin(), cp932.end(), IsAscii)) return std::string(cp932);

  // ASCII bytes are copied; runs of other well-formed characters go through
  // the codec; a byte that is no character at all (0x80, 0xA0, 0xFD-0xFF, a
  // lead byte without its trail) shows as U+FFFD. What the codec gives for
  // such a run is never ASCII: a code point below 0x80 there is its mark
  // for an unassigned pair, also shown as U+FFFD.
  std::string text;
  text.reserve(cp932.size() + cp932.size() / 2);
  QStringDecoder decoder(kCodecName, QStringConverter::Flag::Stateless);
  std::size_t runStart = 0;
  auto flush = [&](std::size_t end) {
    if (end == runStart) return;
    const std::string_view run = cp932.substr(runStart, end - runStart);
    QString part = decoder.decode(QByteArrayView(run.data(), static_cast<qsizetype>(run.size())));
    for (QChar& c : part)
      if (c.unicode() < 0x80) c = QChar(0xFFFD);
    text += part.toStdString();
  };
  for (std::size_t i = 0; i < cp932.size();) {
    const auto c = static_cast<unsigned char>(cp932[i]);
    const std::size_t len = CharLength(cp932, i);
    if (len == 1 && c < 0x80) {
      flush(i);
      text += cp932[i];
      runStart = i + 1;
    } else if (len == 1 && !(c >= 0xA1 && c <= 0xDF)) {
      flush(i);
      text += "\xEF\xBF\xBD";  // U+FFFD
      runStart = i + 1;
    }
    i += len;
  }
  flush(cp932.size());
  return text;
}

std::optional<std::string> FromUtf8(std::string_view utf8) {
  const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
  // Text that is not valid UTF-8 decodes to U+FFFD and cannot round-trip.
  if (text.toUtf8() != QByteArrayView(utf8.data(), static_cast<qsizetype>(utf8.size())))
    return std::nullopt;
  // ASCII is copied; every other run of characters goes through the codec.
  std::string bytes;
  bytes.reserve(utf8.size());
  QStringEncoder encoder(kCodecName, QStringConverter::Flag::Stateless);
  for (qsizetype i = 0; i < text.size();) {
    qsizetype end = i;
    if (text[i].unicode() < 0x80) {
      while (end < text.size() && text[end].unicode() < 0x80) bytes += static_cast<char>(text[end++].unicode());
    } else {
      while (end < text.size() && text[end].unicode() >= 0x80) ++end;
      const QByteArray part = encoder.encode(QStringView(text).sliced(i, end - i));
      bytes.append(part.constData(), static_cast<std::size_t>(part.size()));
    }
    i = end;
  }
  if (encoder.hasError()) return std::nullopt;
  // A character without a cp932 form comes out as a substitute: refuse it.
  if (ToUtf8(bytes) != utf8) return std::nullopt;
  return bytes;
}

}  // namespace vostrel::sjis
