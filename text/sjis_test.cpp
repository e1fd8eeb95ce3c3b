#include "text/sjis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace vostrel::sjis {
namespace {

TEST(Sjis, CharacterRule) {
  struct Case { std::string text; std::size_t pos; std::size_t length; };
  const Case cases[] = {
      {"A", 0, 1},
      {"\x82\xA0", 0, 2},       // あ
      {"\x95\x5C", 0, 2},       // 表: trail byte 0x5C
      {"\x81\x7F", 0, 1},       // 0x7F is not a trail byte
      {"\x81", 0, 1},           // lead byte at the end
      {"\x81\x20", 0, 1},       // lead byte before a space
      {"\xE0\xFC", 0, 2},       // highest trail
      {"\xFD\x40", 0, 1},       // 0xFD is not a lead byte
      {"\xA0\x40", 0, 1},       // 0xA0 (katakana range edge) is single
      {"\xB1", 0, 1},           // half-width katakana
  };
  for (const auto& c : cases) EXPECT_EQ(CharLength(c.text, c.pos), c.length) << c.text;
}

TEST(Sjis, EndsWithWholeCharacter) {
  EXPECT_TRUE(EndsWithChar("C:\\NC\\", '\\'));
  EXPECT_FALSE(EndsWithChar("D:\\\x95\x5C", '\\'));  // 表 ends in 0x5C
  EXPECT_TRUE(EndsWithChar("\x95\x5C\\", '\\'));
  EXPECT_TRUE(EndsWithChar("\x81\\", '\\') == false);  // 0x81 0x5C is one character
  EXPECT_FALSE(EndsWithChar("", '\\'));
}

TEST(Sjis, ReplaceAll) {
  struct Case { std::string text, old, repl, expected; };
  const Case cases[] = {
      {"AXBXC", "X", "YY", "AYYBYYC"},
      {"XXX", "XX", "Y", "YX"},                       // non-overlapping, left to right
      {"AB", "A", "AA", "AAB"},                       // inserted text not rescanned
      {"AB", "", "Z", "AB"},                          // empty pattern does nothing
      {"", "A", "B", ""},
      {"\x95\x5C\\", "\\", "/", "\x95\x5C/"},         // never at a trail byte
      {"\x82\x60\x60", "\x60", "#", "\x82\x60#"},     // Ａ then a backquote
      {"\x81\x81\x81\x41", "\x81\x41", "Z", "\x81\x81Z"},  // run of lead bytes pairs up
      {"\x81\x81\x41", "\x81\x41", "Z", "\x81\x81\x41"},   // here 0x81 0x41 is the trail pair
      {"\x81\x0D\x0A", "\x0D\x0A", "|", "\x81|"},     // lead byte without valid trail
      {"a\x82\xA0" "a", "a", "b", "b\x82\xA0" "b"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReplaceAll(c.text, c.old, c.repl), c.expected) << "text " << c.text;
  }
}

// ReplaceAll against a plain reference that walks every character.
TEST(Sjis, ReplaceAllMatchesCharacterWalk) {
  auto reference = [](const std::string& text, const std::string& old, const std::string& repl) {
    std::string out;
    std::size_t i = 0, boundary = 0;
    while (i < text.size()) {
      while (boundary < i) boundary += CharLength(text, boundary);
      if (boundary == i && text.compare(i, old.size(), old) == 0) {
        out += repl;
        i += old.size();
      } else {
        out += text[i++];
      }
    }
    return out;
  };
  std::mt19937 random(7);
  const char alphabet[] = {'A', 'B', '\x81', '\x82', '\x40', '\x5C', '\xE0', '\x0D', '\x0A'};
  for (int round = 0; round < 3000; ++round) {
    std::string text, old;
    for (int i = random() % 40; i > 0; --i) text += alphabet[random() % sizeof alphabet];
    for (int i = 1 + random() % 3; i > 0; --i) old += alphabet[random() % sizeof alphabet];
    EXPECT_EQ(ReplaceAll(text, old, "#"), reference(text, old, "#")) << "round " << round;
  }
}

TEST(Sjis, UpperCaseTouchesAsciiLettersOnly) {
  std::string text = "g01 x\x82\x61y\x83\x61z";  // ｂ (0x82 0x61) and a katakana with trail 0x61
  UpperCaseInPlace(text);
  EXPECT_EQ(text, "G01 X\x82\x61Y\x83\x61Z");
}

TEST(Sjis, ConversionRoundTrip) {
  const std::string samples[] = {"G01 X10", "\\", "~", "切削", "ﾛｸﾞ", "①", "髙"};
  for (const auto& utf8 : samples) {
    auto bytes = FromUtf8(utf8);
    ASSERT_TRUE(bytes.has_value()) << utf8;
    EXPECT_EQ(ToUtf8(*bytes), utf8);
  }
  EXPECT_EQ(*FromUtf8("\\"), "\x5C");
  EXPECT_EQ(*FromUtf8("ﾛ"), "\xDB");
  EXPECT_EQ(*FromUtf8("①"), "\x87\x40");   // NEC extension
  EXPECT_FALSE(FromUtf8("😀").has_value());
  EXPECT_FALSE(FromUtf8("\xFF").has_value());  // not UTF-8
  EXPECT_EQ(ToUtf8("\x81"), "\xEF\xBF\xBD");   // a lone lead byte shows as U+FFFD
}

// Each byte 0x00-0x7F is its own code point both ways, also beside
// characters that do need the codec (0x1A, 0x1C and 0x7F once traded places).
TEST(Sjis, AsciiBytesKeepTheirCodePoints) {
  for (int b = 0; b < 0x80; ++b) {
    const std::string ascii(1, static_cast<char>(b));
    const std::string bytes = ascii + "\xB1\x8C\xB3";  // ｱ 元
    const std::string utf8 = ascii + "ｱ元";
    EXPECT_EQ(ToUtf8(bytes), utf8) << "byte " << b;
    EXPECT_EQ(FromUtf8(utf8), bytes) << "byte " << b;
  }
  EXPECT_EQ(ToUtf8("\xA0"), "\xEF\xBF\xBD");  // no character: not a control code either
}

}  // namespace
}  // namespace vostrel::sjis

namespace vostrel::sjis {
namespace {

TEST(Sjis, MayHoldLowerCaseSeesEveryLetterPosition) {
  std::mt19937 random(11);
  for (int round = 0; round < 5000; ++round) {
    std::string text;
    for (int i = random() % 40; i > 0; --i) text += static_cast<char>(random() % 256);
    const bool naive = std::any_of(text.begin(), text.end(), [](char c) { return c >= 'a' && c <= 'z'; });
    EXPECT_EQ(MayHoldLowerCase(text), naive) << "round " << round;
  }
  for (std::size_t at = 0; at < 20; ++at) {
    for (char letter : {'a', 'z', '`', '{', '\xE1', '\xFA'}) {
      std::string text(20, 'X');
      text[at] = letter;
      EXPECT_EQ(MayHoldLowerCase(text), letter == 'a' || letter == 'z') << at << letter;
    }
  }
}

}  // namespace
}  // namespace vostrel::sjis
