#include "pipeline/line_summary.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "pipeline/compile_run.h"
#include "pipeline/stage_table.h"
#include "pipeline/word_set.h"
#include "tests/test_support.h"

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

// One pass over a whole text: the lines a split at LF gives (a CR before
// the LF is no part of the line), each with the summary of its own bytes.
TEST(LineSummary, SplitsAndSummarisesWholeTexts) {
  struct Collected final : LineSink {
    std::vector<std::pair<std::string, LineSummary>> lines;
    void Line(const char* start, std::size_t length, LineSummary summary) override {
      lines.emplace_back(std::string(start, length), summary);
    }
  };
  const std::string interesting = std::string("\r\n\n\r\n;\t#()[]$= Tt0Xx,.9AG@\x81\x5B\xFF", 28) + '\0';
  std::mt19937 random(29);
  for (int round = 0; round < 5000; ++round) {
    std::string text;
    for (std::size_t length = random() % 200; length > 0; --length)
      text += random() % 4 ? interesting[random() % interesting.size()] : static_cast<char>(random());
    std::vector<std::pair<std::string, LineSummary>> expected;
    for (std::size_t start = 0; start < text.size();) {
      std::size_t lf = text.find('\n', start), end = lf;
      if (lf == std::string::npos) end = lf = text.size();
      else if (end > start && text[end - 1] == '\r') --end;
      const std::string line = text.substr(start, end - start);
      expected.emplace_back(line, Reference(line));
      start = lf + 1;
    }
    Collected collected;
    SplitSourceLines(text, collected);
    ASSERT_EQ(collected.lines, expected) << "round " << round;
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

// Every stage keeps the promise of the summaries it leaves for the next
// one, on random programs of the bytes the stages look for.
TEST(LineSummary, EveryStageKeepsThePromise) {
  const char* const pieces[] = {" ", "\t", ";c", "(", ")", "[", "]", "$", "#", "=", "0X1F", "0x2a", "x", "t",
                                "GOTO", "#3000=1", "IF[#1GT2]GOTO10", "g01", "\r", "\x83\x65", "\x81\x5B",
                                "@A[", "A", "AB", "12.5", "#IF MILL", "#END", "$A 1", "$AB #100", "WHILE"};
  test::TempDir dir;
  test::WriteFile(dir / "words.lst", "GOTO\r\nIF\r\nGT\r\n");
  std::mt19937 random(5);
  for (int program = 0; program < 300; ++program) {
    std::string text;
    for (int line = random() % 40; line > 0; --line) {
      for (int piece = random() % 10; piece > 0; --piece) text += pieces[random() % std::size(pieces)];
      text += random() % 5 ? "\r\n" : "\n";
    }
    test::StageHarness h;
    h.options.EndChar = program % 2 ? "Y" : "N";
    h.options.chg16_10 = "Y";
    h.options.Chg_MacroA = "Y";
    h.options.End_set = "N";
    h.run.WordListPath = dir / "words.lst";
    h.run.RunArguments[0] = "MILL";
    h.run.SetLoadedLines(TextLines::FromSource(std::string(text)));
    h.run.CountLines();
    for (const StageEntry& stage : StageOrder()) {
      if (stage.gate && !stage.gate(h.run)) continue;
      if (stage.run(h.run, h.frame) == StageEnd::EndRun) break;
      ASSERT_TRUE(h.run.WorkLines.summaries_hold()) << "after " << stage.logName << " in:\n" << text;
    }
  }
}

TEST(WordSet, FindsEveryWordAndNoOther) {
  WordSet words{"GOTO", "IF", "GOTO", ""};
  EXPECT_EQ(words.size(), 3u);
  EXPECT_TRUE(words.contains("") && words.contains("IF") && words.contains("GOTO"));
  EXPECT_FALSE(words.contains("GOT") || words.contains("GOTOX") || words.contains("if"));
  // Past the first table size, and in another order: the same set.
  WordSet many, reversed;
  for (int i = 0; i < 1000; ++i) many.insert("W" + std::to_string(i));
  for (int i = 999; i >= 0; --i) reversed.insert("W" + std::to_string(i));
  for (int i = 0; i < 1000; ++i) ASSERT_TRUE(many.contains("W" + std::to_string(i))) << i;
  EXPECT_FALSE(many.contains("W1000"));
  EXPECT_TRUE(many == reversed);
  reversed.insert("W1000");
  EXPECT_FALSE(many == reversed);
}

}  // namespace
}  // namespace vostrel
