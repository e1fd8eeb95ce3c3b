// Holds the code page 932 conversion to Windows' own converter
// (MultiByteToWideChar / WideCharToMultiByte with code page 932) over every
// one- and two-byte code and every code point of the BMP. Prints each
// difference that is not one of the known ones below, and "N differences".

#include <windows.h>

#include <cstdio>
#include <string>

#include "text/sjis.h"

namespace {

using vostrel::sjis::FromUtf8;
using vostrel::sjis::IsLeadByte;
using vostrel::sjis::IsTrailByte;
using vostrel::sjis::ToUtf8;

std::wstring WindowsDecode(const std::string& bytes) {
  wchar_t out[8];
  const int n = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), out, 8);
  return n > 0 ? std::wstring(out, static_cast<std::size_t>(n)) : std::wstring();
}

std::string Utf8(const std::wstring& text) {
  char out[16];
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out, 16, nullptr, nullptr);
  return std::string(out, static_cast<std::size_t>(n > 0 ? n : 0));
}

// Windows' code for one character, without its lossy best-fit forms.
std::string WindowsEncode(wchar_t c) {
  char out[8];
  BOOL lossy = FALSE;
  const int n = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, &c, 1, out, 8, nullptr, &lossy);
  return n > 0 && !lossy ? std::string(out, static_cast<std::size_t>(n)) : std::string();
}

int g_differences = 0;

void Report(const char* what, unsigned code, const std::string& ours, const std::string& windows) {
  ++g_differences;
  std::printf("%s %04X: ours", what, code);
  for (unsigned char b : ours) std::printf(" %02X", b);
  std::printf(", Windows");
  for (unsigned char b : windows) std::printf(" %02X", b);
  std::printf("\n");
}

}  // namespace

int main() {
  const std::string noCharacter = "\xEF\xBF\xBD";
  for (unsigned b = 0; b < 0x100; ++b) {
    if (IsLeadByte(static_cast<unsigned char>(b))) continue;
    const std::string byte(1, static_cast<char>(b));
    const std::wstring windows = WindowsDecode(byte);
    // 0x80, 0xA0 and 0xFD-0xFF: Windows gives U+0080 and private-use code
    // points, which are no text; the program shows U+FFFD.
    const bool known = (b == 0x80 || b == 0xA0 || b >= 0xFD) && ToUtf8(byte) == noCharacter;
    if (!known && ToUtf8(byte) != Utf8(windows)) Report("decode", b, ToUtf8(byte), Utf8(windows));
  }
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    if (!IsLeadByte(static_cast<unsigned char>(lead))) continue;
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      if (!IsTrailByte(static_cast<unsigned char>(trail))) continue;
      const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
      const std::wstring windows = WindowsDecode(pair);
      // A pair that is no character: Windows refuses it (or gives U+30FB
      // without MB_ERR_INVALID_CHARS); the program shows U+FFFD.
      const std::string expected = windows.empty() ? noCharacter : Utf8(windows);
      if (ToUtf8(pair) != expected) Report("decode", lead << 8 | trail, ToUtf8(pair), expected);
    }
  }
  for (unsigned c = 0x80; c <= 0xFFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    const std::string utf8 = Utf8(std::wstring(1, static_cast<wchar_t>(c)));
    const std::string ours = FromUtf8(utf8).value_or(std::string());
    std::string windows = WindowsEncode(static_cast<wchar_t>(c));
    // Code points of the bytes shown as U+FFFD are refused here.
    if (!windows.empty() && ToUtf8(windows) == noCharacter) windows.clear();
    // The nine look-alikes written one way (U+301C as 81 60 and more) are
    // best-fit forms that WC_NO_BEST_FIT_CHARS turns off.
    const bool lookAlike = windows.empty() && !ours.empty() && ToUtf8(ours) != utf8;
    if (!lookAlike && ours != windows) Report("encode", c, ours, windows);
  }
  std::printf("%d differences\n", g_differences);
  return g_differences == 0 ? 0 : 1;
}
