// The converters take any bytes: real programs and random lines. Every
// piece they cut lies inside the line, so the result is bounded by a few
// copies of it plus the call texts (the sanitizer build checks the reads).

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "macroa/arithmetic.h"
#include "macroa/branch.h"
#include "macroa/macroa_stage.h"
#include "tests/test_support.h"
#include "text/sjis.h"

namespace vostrel {
namespace {

// At most four pieces of the line plus "G65HnnP", "Q" and "R".
void ExpectBounded(std::string_view line) {
  const std::size_t bound = 4 * line.size() + 9;
  EXPECT_LE(ConvertArithmeticLine(line).size(), bound) << line;
  EXPECT_LE(ConvertBranchLine(line).size(), bound) << line;
  EXPECT_LE(ConvertAlarmLine(line).size(), line.size() + 1) << line;
  const auto converted = ConvertMacroALine(line);
  const bool marked = line.find('=') != std::string_view::npos ||
                      line.find("GOTO") != std::string_view::npos;
  EXPECT_EQ(converted.has_value(), marked) << line;
}

void ExpectBoundedTextLines(const std::string& text, std::size_t& count) {
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    ExpectBounded(line);
    sjis::UpperCaseInPlace(line);  // as the stage sees it
    ExpectBounded(line);
    ++count;
    start = end + 1;
  }
}

TEST(MacroARobustness, RealPrograms) {
  const auto dir = test::CorpusDir();
  if (!dir) GTEST_SKIP() << "no corpus of real NC programs in this clone (VOSTREL_CORPUS)";
  std::size_t files = 0, lines = 0;
  for (const auto& entry : std::filesystem::directory_iterator(*dir)) {
    if (!entry.is_regular_file()) continue;
    ExpectBoundedTextLines(test::ReadFile(entry.path()), lines);
    ++files;
  }
  EXPECT_GT(files, 0u);
  RecordProperty("lines", static_cast<int>(lines));
}

// Random lines over an alphabet rich in the markers, so that keywords turn
// up in every order and in every place, with stray double-byte halves.
TEST(MacroARobustness, RandomLines) {
  static constexpr std::string_view kPieces[] = {
      "#", "=", "-", "+", "*", "/", "[", "]", "]/[", "(", ")", " ", "1", "#3000=", "GOTO",
      "]GOTO", "IF[", "EQ", "NE", "GT", "LT", "GE", "LE", "XOR", "OR", "AND", "ABS[", "MOD",
      "BIN[", "BCD[", "SQRT[", "ATAN[", "*SIN[", "*COS[", "*TAN[", "=-", "= -", "\x95",
      "\x5c", "\x82\xa0", "\xff", std::string_view("\0", 1)};
  std::mt19937 random(20240517);
  std::uniform_int_distribution<std::size_t> pieceCount(0, 12);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(kPieces) - 1);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int i = 0; i < 200000; ++i) {
    std::string line;
    const std::size_t n = pieceCount(random);
    for (std::size_t j = 0; j < n; ++j) {
      if (j % 5 == 4) line.push_back(static_cast<char>(byte(random)));
      else line.append(kPieces[pick(random)]);
    }
    ExpectBounded(line);
    if (HasFailure()) break;
  }
}

}  // namespace
}  // namespace vostrel
