#pragma once
// What a line may hold, in one 16-bit word per line: the stages ask it
// before they search a line, so that a line without the bytes a stage looks
// for is passed over without reading it. A bit that is clear is a promise
// (the line does not hold it); a bit that is set only means "look".

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vostrel {

using LineSummary = std::uint16_t;

enum : LineSummary {
  kHoldsCr = 1 << 0,
  kHoldsLf = 1 << 1,
  kHoldsSemicolon = 1 << 2,
  kHoldsTab = 1 << 3,
  kHoldsHexMarker = 1 << 4,  // "0X" or "0x"
  kHoldsHash = 1 << 5,
  kHoldsBracket = 1 << 6,  // any of "(", ")", "[", "]"
  kHoldsOpenRound = 1 << 7,
  kHoldsSpace = 1 << 8,
  kHoldsDollar = 1 << 9,
  kHoldsEquals = 1 << 10,
  kHoldsLowerCase = 1 << 11,  // a byte a-z (maybe a second byte)
  kHoldsT = 1 << 12,
  // Two bytes side by side that are neither delimiters nor parentheses to
  // the syntax check (".0123456789#-+/*[]=", space, TAB, "$", "(", ")"):
  // without them the line has no word to look up.
  kHoldsLongWord = 1 << 13,
  kHoldsAll = 0xFFFF,
};

// The query of a marker that no summary bit describes (one made only of
// bytes such as "&", "\\", "G", "X" or "0"): a line whose summary is empty
// may still hold it, so every line is to be read.
inline constexpr LineSummary kReadEveryLine = 0;

// The summary of `line`, every bit exact.
LineSummary Summarise(std::string_view line);

// Receives the lines of a text one after the other.
class LineSink {
 public:
  virtual void Line(const char* start, std::size_t length, LineSummary summary) = 0;

 protected:
  ~LineSink() = default;
};

// Splits a loaded source as TextLines::FromSource does (at CR LF and at a
// lone LF; a line end at the very end adds no empty line) and gives each
// line with its summary, in one pass over the bytes.
void SplitSourceLines(std::string_view text, LineSink& sink);

// How many LF bytes `text` holds.
std::size_t CountLineFeeds(std::string_view text);

// The bits every line holding `marker` has set: one byte of it that a
// summary records, else kReadEveryLine.
LineSummary MarkerSummary(std::string_view marker);

}  // namespace vostrel
