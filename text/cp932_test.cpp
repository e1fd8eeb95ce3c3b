// The code page 932 table against the C library's own CP932 converter, over
// every one- and two-byte code and every code point of the BMP.

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "text/sjis.h"

namespace vostrel::sjis {
namespace {

class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~Converter() {
    if (valid()) iconv_close(handle_);
  }
  bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
  // The whole input converted, or nullopt when the converter refuses it.
  std::optional<std::string> operator()(std::string in) {
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    char out[16];
    char* inPtr = in.data();
    char* outPtr = out;
    std::size_t inLeft = in.size(), outLeft = sizeof out;
    if (iconv(handle_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0)
      return std::nullopt;
    return std::string(out, outPtr);
  }

 private:
  iconv_t handle_;
};

constexpr const char* kNoCharacter = "\xEF\xBF\xBD";  // U+FFFD

std::string Utf8Of(char32_t c) {
  std::string utf8;
  if (c < 0x80) {
    utf8 += static_cast<char>(c);
  } else if (c < 0x800) {
    utf8 += static_cast<char>(0xC0 | (c >> 6));
    utf8 += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    utf8 += static_cast<char>(0xE0 | (c >> 12));
    utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    utf8 += static_cast<char>(0x80 | (c & 0x3F));
  }
  return utf8;
}

TEST(Cp932, DecodesEveryCodeAsTheCLibrary) {
  Converter decode("UTF-8", "CP932");
  if (!decode.valid()) GTEST_SKIP() << "the C library has no CP932 converter";
  // Single bytes the C library refuses, which Windows decodes to U+0080,
  // U+F8F0 and U+F8F1-U+F8F3: no characters of a text, shown as U+FFFD.
  const std::set<int> windowsOnlyBytes = {0x80, 0xA0, 0xFD, 0xFE, 0xFF};
  for (int b = 0; b < 0x100; ++b) {
    const std::string byte(1, static_cast<char>(b));
    const std::optional<std::string> expected = decode(byte);
    if (IsLeadByte(static_cast<unsigned char>(b)) || windowsOnlyBytes.count(b)) {
      EXPECT_FALSE(expected.has_value()) << "byte " << b;
      EXPECT_EQ(ToUtf8(byte), kNoCharacter) << "byte " << b;
    } else {
      ASSERT_TRUE(expected.has_value()) << "byte " << b;
      EXPECT_EQ(ToUtf8(byte), *expected) << "byte " << b;
    }
  }
  int characters = 0;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (!IsLeadByte(static_cast<unsigned char>(lead))) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (!IsTrailByte(static_cast<unsigned char>(trail))) continue;
      const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
      const std::optional<std::string> expected = decode(pair);
      characters += expected.has_value();
      // A pair that is no character is one U+FFFD, as Windows shows one
      // U+30FB for it.
      EXPECT_EQ(ToUtf8(pair), expected.value_or(kNoCharacter)) << std::hex << lead << ' ' << trail;
    }
  }
  EXPECT_EQ(characters, 9604);  // JIS X 0208, NEC, IBM and the user-defined rows F0-F9
}

TEST(Cp932, EncodesEveryCodePointAsTheCLibrary) {
  Converter encode("CP932", "UTF-8");
  if (!encode.valid()) GTEST_SKIP() << "the C library has no CP932 converter";
  // The C library's one-way forms (U+301C as 81 60 and eight more) are
  // Windows' too, and written alike.
  for (char32_t c = 0; c <= 0xFFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    const std::string utf8 = Utf8Of(c);
    EXPECT_EQ(FromUtf8(utf8), encode(utf8)) << "U+" << std::hex << static_cast<std::uint32_t>(c);
  }
  // The codes Windows chooses where one character has two.
  EXPECT_EQ(FromUtf8("纊"), "\xFA\x5C");      // IBM extension, not NEC-selected ED 40
  EXPECT_EQ(FromUtf8("≒"), "\x81\xE0");      // JIS X 0208, not NEC row 13 (87 90)
  EXPECT_EQ(FromUtf8("Ⅰ"), "\x87\x54");      // NEC row 13, not IBM FA 4A
  EXPECT_EQ(FromUtf8("ⅰ"), "\xFA\x40");      // IBM, not NEC-selected EE EF
  EXPECT_EQ(FromUtf8("￢"), "\x81\xCA");      // JIS X 0208 before both extensions
}

}  // namespace
}  // namespace vostrel::sjis
