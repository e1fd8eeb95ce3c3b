#include "pipeline/line_summary.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>

namespace vostrel {
namespace {

// The summary spelled out byte by byte, as the stages read it.
LineSummary Reference(std::string_view line) {
  auto has = [line](char c) { return line.find(c) != std::string_view::npos; };
  const std::string_view delimiters(".0123456789#-+/*[]= \t$()");
  auto word = [&](char c) { return delimiters.find(c) == std::string_view::npos; };
  LineSummary s = 0;
  if (has('\r')) s |= kHoldsCr;
  if (has('\n')) s |= kHoldsLf;
  if (has(';')) s |= kHoldsSemicolon;
  if (has('\t')) s |= kHoldsTab;
  if (has('#')) s |= kHoldsHash;
  if (line.find_first_of("()[]") != std::string_view::npos) s |= kHoldsBracket;
  if (has('(')) s |= kHoldsOpenRound;
  if (has(' ')) s |= kHoldsSpace;
  if (has('$')) s |= kHoldsDollar;
  if (has('=')) s |= kHoldsEquals;
  if (has('T')) s |= kHoldsT;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] >= 'a' && line[i] <= 'z') s |= kHoldsLowerCase;
    if (i > 0 && line[i - 1] == '0' && (line[i] == 'X' || line[i] == 'x')) s |= kHoldsHexMarker;
    if (i > 0 && word(line[i - 1]) && word(line[i])) s |= kHoldsLongWord;
  }
  return s;
}

TEST(LineSummary, AgreesWithTheBytesOnRandomLines) {
  // Lengths around the 16-byte blocks, bytes biased to the ones summed up.
  const std::string interesting = std::string("\r\n;\t#()[]$= Tt0Xx,.9AG@\x81\x5B\xFF", 25) + '\0';
  std::mt19937 random(17);
  for (int round = 0; round < 20000; ++round) {
    const std::size_t length = random() % 70;
    std::string line;
    for (std::size_t i = 0; i < length; ++i)
      line += random() % 4 ? interesting[random() % interesting.size()] : static_cast<char>(random());
    ASSERT_EQ(Summarise(line), Reference(line)) << "round " << round << " length " << length;
  }
}

TEST(LineSummary, PairsAcrossBlockEdges) {
  // "0X" and a two-byte word split by a 16-byte block edge or standing in
  // the overlap of the last block.
  for (std::size_t at = 1; at < 40; ++at) {
    std::string hex(at + 1, '.'), word(at + 1, '.');
    hex[at - 1] = '0';
    hex[at] = 'X';
    word[at - 1] = 'A';
    word[at] = 'B';
    EXPECT_EQ(Summarise(hex), kHoldsHexMarker) << at;
    EXPECT_EQ(Summarise(word), kHoldsLongWord) << at;
  }
}

TEST(LineSummary, CountsLineFeeds) {
  EXPECT_EQ(CountLineFeeds(""), 0u);
  EXPECT_EQ(CountLineFeeds(std::string(17, '\n')), 17u);
  EXPECT_EQ(CountLineFeeds("\x8A\n\x0B\n\n\x0A\xFF" + std::string(30, 'x') + "\n"), 5u);
}

}  // namespace
}  // namespace vostrel
