// ReplaceAll against a plain reference that walks the text character by
// character. Input: text, then 0xFF, the pattern, 0xFF, the replacement.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text/sjis.h"

namespace {

std::string Reference(std::string_view text, std::string_view old, std::string_view repl) {
  if (old.empty()) return std::string(text);
  std::string out;
  std::size_t i = 0, boundary = 0;
  while (i < text.size()) {
    while (boundary < i) boundary += vostrel::sjis::CharLength(text, boundary);
    if (boundary == i && text.substr(i, old.size()) == old) {
      out += repl;
      i += old.size();
    } else {
      out += text[i++];
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t a = input.find('\xFF');
  if (a == std::string_view::npos) return 0;
  const std::size_t b = input.find('\xFF', a + 1);
  if (b == std::string_view::npos) return 0;
  const std::string_view text = input.substr(0, a), old = input.substr(a + 1, b - a - 1),
                         repl = input.substr(b + 1);
  if (vostrel::sjis::ReplaceAll(text, old, repl) != Reference(text, old, repl)) std::abort();
  std::string upper(text);
  vostrel::sjis::UpperCaseInPlace(upper);
  if (upper.size() != text.size()) std::abort();
  (void)vostrel::sjis::ToUtf8(text);
  return 0;
}
