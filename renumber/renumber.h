#pragma once
// Sequence numbers renumbered without breaking a jump: the N words of a
// compiled program (Shift-JIS lines, the result of a run) get numbers that
// climb from a start in a fixed step, and every jump target follows the
// block it names: GOTO n, IF[...]GOTO n, M99 Pn, M97 Pn and the Macro A
// branches G65 H80 P... to G65 H86 P....
//
// Targets are resolved within each O-program (the lines from one O-number
// line to the next), as a control resolves them. M99 Pn names a block of
// the main program when it stands there, and a block of the calling program
// when it stands in a subprogram that a program of the same file calls
// (M98, G65, G66). N words inside remarks `( ... )` are left alone.
//
// The program is read three times over its flags (a byte a line) and the
// jumps it holds; nothing grows with the lines but that byte.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/finding.h"
#include "pipeline/text_lines.h"

namespace vostrel::renumber {

// Which blocks get a number.
enum class BlockChoice : std::uint8_t {
  Numbered,  // the blocks that have one already
  All,       // every block
  Targets,   // jump targets and tool changes (M06 or a T word); other N words go
};

struct Options {
  std::int64_t start = 10;
  std::int64_t step = 10;
  BlockChoice blocks = BlockChoice::Numbered;
  // O-number lines, `%` lines and lines without a block (empty, or remarks
  // only) are never numbered; when false, BlockChoice::All numbers them
  // too: an empty line or a remark gets an N word, an O-number or `%` line
  // (which an N word would turn into something else) only its number in the
  // count.
  bool skipMarkerLines = true;
  int width = 0;  // the digits of an N word, zero-padded; 0: no padding
  bool force = false;  // renumber also when a jump cannot be followed
  // Lines of the result to produce (the rest is analysed but not written);
  // -1: all of them. A preview asks for the first few.
  std::int64_t outputLines = -1;
};

// The texts of a choice as the settings file and the command line write
// them: "numbered", "all", "targets".
std::string_view BlockChoiceName(BlockChoice choice);
bool ParseBlockChoice(std::string_view name, BlockChoice& choice);

// What was found on a line: Error refuses the renumbering (unless forced),
// Warning and Note do not.
struct LineFinding {
  Severity severity = Severity::Error;
  std::int32_t line = 0;  // 1-based line of the program
  std::string message;    // UTF-8
};

struct Outcome {
  TextLines lines;  // the renumbered program (empty when refused)
  std::vector<LineFinding> findings;  // in line order
  bool refused = false;               // an Error finding and no force
  std::int64_t numberedBlocks = 0;    // blocks that carry a number now
  std::int64_t jumpsFollowed = 0;     // jump targets rewritten to their block's new number
  // Forced over Error findings: the lines of the jumps that may now be
  // wrong, in order.
  std::vector<std::int32_t> doubtfulJumps;
};

Outcome Renumber(const TextLines& program, const Options& options);

// The lines the renumbering adds to a run log (UTF-8): its heading, every
// finding, the counts and its end.
std::vector<std::string> ReportLines(const Outcome& outcome);

}  // namespace vostrel::renumber
