#pragma once
// The toolpath of a compiled NC program: the program is executed block by
// block as a Fanuc-style milling control executes it, and every move of the
// tool is recorded with the program line it came from.
//
// The interpreter reads the compiled program (Shift-JIS bytes, upper or
// lower case, with or without spaces); it knows nothing of the compile run.
// Front ends map a motion's `line` back to the source through the run's
// source map.
//
// Positions are in the program's units (mm after G21, inch after G20) and
// include the work offsets (G54-G59 set by G10 L2, G92, G52): they are the
// positions the machine is told to reach, with the reference point at 0.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/finding.h"

namespace vostrel::toolpath {

enum class MotionType : std::uint8_t { Rapid, Feed, Arc };
enum class Plane : std::uint8_t { XY, ZX, YZ };  // G17, G18, G19

struct Motion {
  double from[3];
  double to[3];
  double center[3];  // arcs only; the centre at the height of `from`
  double feed;       // per minute in the program's units; 0 for rapids
  std::int32_t line; // 1-based line of the compiled program
  MotionType type;
  Plane plane;       // arcs only (the plane in effect otherwise)
  bool clockwise;    // arcs only: G02
  bool holeBottom;   // a canned cycle's feed that reaches the bottom of its hole
};

// A finding of the interpreter on a line of the compiled program.
struct ToolpathFinding {
  Severity severity = Severity::Warning;
  std::int32_t line = 0;  // 1-based; 0 for the program as a whole
  std::string message;    // UTF-8
  std::string word;       // the word concerned (ASCII), may be empty
};

struct ToolUse {
  std::int32_t number = 0;
  std::int32_t line = 0;  // where it was first called
  std::string remark;     // the comment that follows the T word on its line (Shift-JIS)
};

struct Statistics {
  bool hasExtent = false;
  double min[3] = {0, 0, 0};  // over every motion, arcs with their bulge
  double max[3] = {0, 0, 0};
  double rapidLength = 0, feedLength = 0;  // arcs count as feed
  double rapidSeconds = 0, feedSeconds = 0, dwellSeconds = 0;
  double CycleSeconds() const { return rapidSeconds + feedSeconds + dwellSeconds; }
  std::int64_t blocks = 0;      // blocks executed (a loop's blocks each time)
  std::int64_t lines = 0;       // lines of the program
  std::int64_t rapids = 0, feeds = 0, arcs = 0;
  std::int32_t toolChanges = 0; // M06
  std::vector<ToolUse> tools;   // in order of first use
  bool inch = false;            // G20 was in effect at the end
  bool feedMissing = false;     // a cutting move had no F
};

// How a number without a decimal point is read after an axis address.
enum class DecimalInput : std::uint8_t {
  Increment,   // in least input increments: X10 is 0.010 mm (0.0010 in)
  Calculator,  // as written: X10 is 10 mm
};

struct Settings {
  // Rapid traverse rate, mm/min (an inch program uses it converted).
  double rapidRate = 10000;
  DecimalInput decimalInput = DecimalInput::Increment;
  // The blocks a run may execute before it is taken for a runaway loop;
  // never less than four times the program's lines.
  std::int64_t blockLimit = 20'000'000;
  // The clearance above the last peck depth where G83 changes from rapid
  // to feed, and the retract of each G73 peck (control parameters), mm.
  double peckClearance = 0.5;
  double peckRetract = 0.5;
};

struct Result {
  std::vector<Motion> motions;
  std::vector<ToolpathFinding> findings;
  Statistics statistics;
  bool stopped = false;  // ended by an error (alarm, runaway loop, bad block)
};

// The lines of a program as stored: ended by CR LF, LF or a lone CR; a
// final line without an end counts.
std::vector<std::string_view> SplitProgramLines(std::string_view bytes);

// The lines of a program as the interpreter reads them: any list whose
// element i is line i (kept alive and unchanged by the caller while it is
// read), so that a large program is executed where it lies, without a
// list of views beside it.
class ProgramLines {
 public:
  template <class List>
  explicit ProgramLines(const List& list)
      : list_(&list), size_(list.size()), line_([](const void* list, std::size_t i) -> std::string_view {
          return (*static_cast<const List*>(list))[i];
        }) {}
  std::size_t size() const { return size_; }
  std::string_view operator[](std::size_t i) const { return line_(list_, i); }

 private:
  const void* list_;
  std::size_t size_;
  std::string_view (*line_)(const void* list, std::size_t i);
};

// Executes the program and returns what the tool did.
Result Run(const ProgramLines& lines, const Settings& settings = {});
Result Run(std::span<const std::string_view> lines, const Settings& settings = {});

// The statistics of a list of motions (Run fills them in already); exposed
// for front ends that filter motions.
void MeasureMotions(std::span<const Motion> motions, double rapidRate, Statistics& statistics);

// The angle an arc turns through, in radians: positive counter-clockwise,
// negative clockwise, a full turn when it ends where it starts; with its
// radius and the angle of its start seen from the centre.
double ArcSweep(const Motion& arc, double& radius, double& startAngle);

const char* PlaneName(Plane plane);  // "G17", "G18", "G19"

}  // namespace vostrel::toolpath
