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
}

std::string ToUtf8(std::string_view cp932) {
  // Plain ASCII needs no conversion (the common case for NC text).
  if (std::all_of(cp932.begin(), cp932.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return std::string(cp932);

  // Runs of well-formed characters go through the codec; a byte that is no
  // character at all (0x80, 0xA0, 0xFD-0xFF, a lead byte without its trail)
  // shows as U+FFFD. The codec itself marks unassigned pairs with U+001A,
  // which is also shown as U+FFFD unless the run holds a real 0x1A byte.
  QString text;
  QStringDecoder decoder(kCodecName, QStringConverter::Flag::Stateless);
  std::size_t runStart = 0;
  auto flush = [&](std::size_t end) {
    if (end == runStart) return;
    const std::string_view run = cp932.substr(runStart, end - runStart);
    QString part = decoder.decode(QByteArrayView(run.data(), static_cast<qsizetype>(run.size())));
    if (run.find('\x1A') == std::string_view::npos) part.replace(QChar(0x1A), QChar(0xFFFD));
    text += part;
  };
  for (std::size_t i = 0; i < cp932.size();) {
    const auto c = static_cast<unsigned char>(cp932[i]);
    const std::size_t len = CharLength(cp932, i);
    if (len == 1 && c >= 0x80 && !(c >= 0xA1 && c <= 0xDF)) {
      flush(i);
      text += QChar(0xFFFD);
      runStart = i + 1;
    }
    i += len;
  }
  flush(cp932.size());
  return text.toStdString();
}

std::optional<std::string> FromUtf8(std::string_view utf8) {
  const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
  // Text that is not valid UTF-8 decodes to U+FFFD and cannot round-trip.
  if (text.toUtf8() != QByteArrayView(utf8.data(), static_cast<qsizetype>(utf8.size())))
    return std::nullopt;
  QStringEncoder encoder(kCodecName, QStringConverter::Flag::Stateless);
  const QByteArray bytes = encoder.encode(text);
  if (encoder.hasError()) return std::nullopt;
  // A character without a cp932 form comes out as a substitute: refuse it.
  QStringDecoder decoder(kCodecName, QStringConverter::Flag::Stateless);
  if (QString(decoder.decode(bytes)) != text) return std::nullopt;
  return bytes.toStdString();
}

}  // namespace vostrel::sjis
