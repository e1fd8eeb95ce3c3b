// The toolpath interpreter against an independent one: the rs274 standalone
// interpreter (Debian package linuxcnc-uspace) prints the canonical moves
// of a program. On what the two dialects share, every end point and every
// arc centre must agree. The test skips, saying so, without rs274 or the
// folder of real programs.
//
// Deliberate differences of the dialects, kept out of the comparison:
// - A number without a decimal point after an axis address is read in
//   least input increments by a Fanuc control (X10 is 0.010 mm) and as
//   written by rs274: the programs here run with calculator-type input.
// - Canned cycle repeats are K on a Fanuc control and L in rs274: the
//   generated programs are written once in each form.
// - rs274 first lifts the tool to R when a cycle starts below the R level,
//   and ends G98 cycles at the higher of the initial level and R; a Fanuc
//   control positions at the current level and returns to the initial
//   level. The generated cycles start above R.
// - In G91, rs274 measures R from the current level (after a G99 hole, the
//   R level) and reads kept R and Z values as distances; a Fanuc control
//   measures R from the initial level and keeps the levels of an earlier
//   G90 block. The generated G91 repeats use G98 and give R and Z.
// - rs274 wants a dwell P and a turning spindle for G86.
// - G89 with G98: rs274 feeds out to the initial level; a Fanuc control
//   feeds out to R and goes on to the initial level by rapid.
// - After G80, rs274 wants a motion code before the next axis words; a
//   Fanuc control keeps G00/G01 from before the cycle. The generated
//   programs always give one.
// - G53 moves by rapid on a Fanuc control and in the current motion mode
//   in rs274; G28 and G30 are compared only with zero reference points.
// - The G83 clearance and the G73 retract are control parameters; the
//   comparison sets both to rs274's 0.010 inch.
// - rs274 knows no O-number programs called by number in the same file as
//   the Fanuc dialect writes them (":0100", "%O1200"), no G65, no Macro A,
//   no DDCS "//" comments and no unbracketed IF: those programs are left
//   out below with the reason.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/test_support.h"
#include "toolpath/toolpath.h"

namespace vostrel::test {
namespace {

namespace fs = std::filesystem;
namespace tp = vostrel::toolpath;

struct Step {
  char kind;  // 'r' rapid, 'f' feed, 'a' arc
  double to[3];
  double center[2] = {0, 0};  // arcs: in the plane's first and second axis
  int turn = 0;               // arcs: +1 counter-clockwise, -1 clockwise
  int plane = 17;
};

void PlaneAxes(int plane, int& a, int& b, int& n) {
  if (plane == 18) a = 2, b = 0, n = 1;
  else if (plane == 19) a = 1, b = 2, n = 0;
  else a = 0, b = 1, n = 2;
}

bool Rs274There() { return std::system("command -v rs274 >/dev/null 2>&1") == 0; }

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (const char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// The moves rs274 prints for a file.
std::vector<Step> Rs274Steps(const fs::path& file, std::string& error) {
  std::vector<Step> steps;
  const std::string command = "timeout 120 rs274 -g " + Quote(file.string()) + " </dev/null 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return steps;
  int plane = 17;
  // rs274 moves in program coordinates and names the offsets apart; the
  // interpreter's positions are after the offsets.
  double g5x[3] = {0, 0, 0}, g92[3] = {0, 0, 0};
  auto shifted = [&](Step s) {
    int a, b, n;
    PlaneAxes(s.plane, a, b, n);
    for (int i = 0; i < 3; ++i) s.to[i] += g5x[i] + g92[i];
    if (s.kind == 'a') s.center[0] += g5x[a] + g92[a], s.center[1] += g5x[b] + g92[b];
    return s;
  };
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, pipe)) {
    const std::string line = buffer;
    double v[9];
    int system;
    if (std::size_t o = line.find("SET_G5X_OFFSET("); o != std::string::npos)
      std::sscanf(line.c_str() + o + 15, "%d, %lf, %lf, %lf", &system, &g5x[0], &g5x[1], &g5x[2]);
    if (std::size_t o = line.find("SET_G92_OFFSET("); o != std::string::npos)
      std::sscanf(line.c_str() + o + 15, "%lf, %lf, %lf", &g92[0], &g92[1], &g92[2]);
    if (line.find("SELECT_PLANE(CANON_PLANE_XZ)") != std::string::npos) plane = 18;
    else if (line.find("SELECT_PLANE(CANON_PLANE_YZ)") != std::string::npos) plane = 19;
    else if (line.find("SELECT_PLANE(CANON_PLANE_XY)") != std::string::npos) plane = 17;
    if (std::size_t p = line.find("STRAIGHT_TRAVERSE("); p != std::string::npos) {
      if (std::sscanf(line.c_str() + p + 18, "%lf, %lf, %lf", &v[0], &v[1], &v[2]) == 3)
        steps.push_back(shifted({'r', {v[0], v[1], v[2]}}));
    } else if (std::size_t q = line.find("STRAIGHT_FEED("); q != std::string::npos) {
      if (std::sscanf(line.c_str() + q + 14, "%lf, %lf, %lf", &v[0], &v[1], &v[2]) == 3)
        steps.push_back(shifted({'f', {v[0], v[1], v[2]}}));
    } else if (std::size_t r = line.find("ARC_FEED("); r != std::string::npos) {
      if (std::sscanf(line.c_str() + r + 9, "%lf, %lf, %lf, %lf, %lf, %lf", &v[0], &v[1], &v[2], &v[3], &v[4],
                      &v[5]) == 6) {
        int a, b, n;
        PlaneAxes(plane, a, b, n);
        Step s{'a', {0, 0, 0}};
        s.to[a] = v[0], s.to[b] = v[1], s.to[n] = v[5];
        s.center[0] = v[2], s.center[1] = v[3];
        s.turn = v[4] > 0 ? 1 : -1;
        s.plane = plane;
        steps.push_back(shifted(s));
      }
    } else if (line.find(" N") == std::string::npos && line.find("SET_G") == std::string::npos && line.find("executing") == std::string::npos &&
               error.empty()) {
      error = line;  // the first message that is no canonical call
    }
  }
  pclose(pipe);
  return steps;
}

std::vector<Step> OurSteps(const tp::Result& result) {
  std::vector<Step> steps;
  for (const tp::Motion& m : result.motions) {
    Step s{m.type == tp::MotionType::Rapid ? 'r' : m.type == tp::MotionType::Feed ? 'f' : 'a',
           {m.to[0], m.to[1], m.to[2]}};
    if (m.type == tp::MotionType::Arc) {
      s.plane = m.plane == tp::Plane::XY ? 17 : m.plane == tp::Plane::ZX ? 18 : 19;
      int a, b, n;
      PlaneAxes(s.plane, a, b, n);
      s.center[0] = m.center[a], s.center[1] = m.center[b];
      s.turn = m.clockwise ? -1 : 1;
    }
    steps.push_back(s);
  }
  return steps;
}

// Moves of no length dropped, and straight moves of one kind that go on in
// the same direction joined: the two interpreters may split a move
// differently (a retract in one step or two).
std::vector<Step> Simplified(const std::vector<Step>& steps, double tolerance) {
  std::vector<Step> out;
  double at[3] = {0, 0, 0};
  double before[3] = {0, 0, 0};  // where the last kept move started
  for (const Step& s : steps) {
    const double d[3] = {s.to[0] - at[0], s.to[1] - at[1], s.to[2] - at[2]};
    if (s.kind != 'a' && std::hypot(d[0], d[1], d[2]) < tolerance) continue;
    if (s.kind != 'a' && !out.empty() && out.back().kind == s.kind) {
      const double e[3] = {at[0] - before[0], at[1] - before[1], at[2] - before[2]};
      const double cross = std::hypot(e[1] * d[2] - e[2] * d[1], e[2] * d[0] - e[0] * d[2], e[0] * d[1] - e[1] * d[0]);
      const double dot = e[0] * d[0] + e[1] * d[1] + e[2] * d[2];
      if (dot > 0 && cross <= tolerance * std::hypot(e[0], e[1], e[2])) {
        for (int i = 0; i < 3; ++i) out.back().to[i] = at[i] = s.to[i];
        continue;
      }
    }
    for (int i = 0; i < 3; ++i) before[i] = at[i], at[i] = s.to[i];
    out.push_back(s);
  }
  return out;
}

// Empty when the two lists agree, else where they first part.
std::string Compare(const std::vector<Step>& ours, const std::vector<Step>& theirs, double tolerance) {
  const std::vector<Step> a = Simplified(ours, tolerance), b = Simplified(theirs, tolerance);
  auto show = [](const Step& s) {
    std::ostringstream out;
    out << s.kind << " to (" << s.to[0] << ", " << s.to[1] << ", " << s.to[2] << ")";
    if (s.kind == 'a') out << " centre (" << s.center[0] << ", " << s.center[1] << ") turn " << s.turn << " G" << s.plane;
    return out.str();
  };
  for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
    bool same = a[i].kind == b[i].kind;
    for (int k = 0; k < 3; ++k) same = same && std::fabs(a[i].to[k] - b[i].to[k]) <= tolerance;
    if (a[i].kind == 'a')
      same = same && a[i].turn == b[i].turn && a[i].plane == b[i].plane &&
             std::fabs(a[i].center[0] - b[i].center[0]) <= tolerance &&
             std::fabs(a[i].center[1] - b[i].center[1]) <= tolerance;
    if (!same) return "move " + std::to_string(i + 1) + ": ours " + show(a[i]) + ", rs274 " + show(b[i]);
  }
  if (a.size() != b.size())
    return "ours has " + std::to_string(a.size()) + " moves, rs274 " + std::to_string(b.size());
  return {};
}

tp::Settings SharedSettings() {
  tp::Settings settings;
  settings.decimalInput = tp::DecimalInput::Calculator;
  settings.peckClearance = settings.peckRetract = 0.254;
  return settings;
}

TEST(ToolpathRs274, RealPrograms) {
  if (!Rs274There()) GTEST_SKIP() << "rs274 is not installed (Debian package linuxcnc-uspace)";
  const fs::path corpus = CORPUS_DIR;
  std::error_code ec;
  if (!fs::is_directory(corpus, ec)) GTEST_SKIP() << "no folder of real programs at " << corpus;
  // The programs in the shared dialect. The rest of the folder: Fanuc
  // custom macro programs with G65, M98 to programs by O number, ":"
  // program numbers, DDCS "//" comments and IF without brackets, probing
  // with M59/M97, named parameters <NAME> of rs274 and broken samples.
  const char* shared[] = {
      "camotics__cameo.nc",  "camotics__flower_mold.nc", "camotics__la_peinture.gc",
      "camotics__tiger.nc",  "ncvc-scripts__sampleNC(コメントに全角文字).ncd",
  };
  for (const char* name : shared) {
    const fs::path file = corpus / fs::path(reinterpret_cast<const char8_t*>(name));
    if (!fs::exists(file, ec)) {
      ADD_FAILURE() << name << " is missing from " << corpus;
      continue;
    }
    const std::string bytes = ReadFile(file);
    const std::vector<std::string_view> lines = tp::SplitProgramLines(bytes);
    const tp::Result ours = tp::Run(lines, SharedSettings());
    std::string error;
    const std::vector<Step> theirs = Rs274Steps(file, error);
    ASSERT_FALSE(theirs.empty()) << name << ": rs274 printed no move: " << error;
    EXPECT_FALSE(ours.stopped) << name;
    EXPECT_EQ(Compare(OurSteps(ours), theirs, 1.5e-3), "") << name;
  }
}

// Random programs of the shared subset, written in each dialect's form.
struct GeneratedProgram {
  std::string fanuc, rs274;
};

GeneratedProgram Generate(unsigned seed, int blocks) {
  std::uint32_t state = seed;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  auto coordinate = [&](double range) { return static_cast<int>(next() % static_cast<unsigned>(range * 2000)) / 1000.0 - range; };
  GeneratedProgram out;
  auto both = [&](const std::string& text) {
    out.fanuc += text + "\n";
    out.rs274 += text + "\n";
  };
  char buffer[256];
  both("G21 G17 G90 G94 G40 G49 G80");
  both("S1000 M3");  // rs274 bores with G86 only with the spindle turning
  both("G10 L2 P2 X15.5 Y-7.25 Z3.");
  both("G0 X0. Y0. Z20.");
  // Where the tool is, in the coordinates of the work system in use.
  double pos[3] = {0, 0, 20};
  const double offsets[2][3] = {{0, 0, 0}, {15.5, -7.25, 3}};  // G54, G55
  int system = 0;
  bool absolute = true;
  int plane = 17;
  for (int n = 0; n < blocks; ++n) {
    switch (next() % 9) {
      case 0: {
        const bool rapid = next() % 2;
        const double x = coordinate(50), y = coordinate(50), z = coordinate(10);
        std::snprintf(buffer, sizeof buffer, "G90 %s X%.3f Y%.3f Z%.3f F%u", rapid ? "G0" : "G1", x, y, z, 100 + next() % 900);
        both(buffer);
        pos[0] = x, pos[1] = y, pos[2] = z, absolute = true;
        break;
      }
      case 1: {
        const double dx = coordinate(5), dy = coordinate(5);
        std::snprintf(buffer, sizeof buffer, "G91 G1 X%.3f Y%.3f F300", dx, dy);
        both(buffer);
        pos[0] += dx, pos[1] += dy, absolute = false;
        break;
      }
      case 2:
      case 3: {
        // An arc in a plane by its centre: the end turned about the centre.
        const int planes[] = {17, 18, 19};
        plane = planes[next() % 3];
        int a, b, nrm;
        PlaneAxes(plane, a, b, nrm);
        const double ca = pos[a] + coordinate(8), cb = pos[b] + coordinate(8);
        const double r = std::hypot(pos[a] - ca, pos[b] - cb);
        if (r < 0.5) break;
        const double angle = std::atan2(pos[b] - cb, pos[a] - ca) + (static_cast<int>(next() % 340) + 10) * M_PI / 180;
        double end[3] = {pos[0], pos[1], pos[2]};
        end[a] = std::round((ca + r * std::cos(angle)) * 1000) / 1000;
        end[b] = std::round((cb + r * std::sin(angle)) * 1000) / 1000;
        const char letters[] = "IJK";
        const char axes[] = "XYZ";
        std::snprintf(buffer, sizeof buffer, "G%d G90 %s %c%.3f %c%.3f %c%.4f %c%.4f F200", plane, next() % 2 ? "G2" : "G3",
                      axes[a], end[a], axes[b], end[b], letters[a], ca - pos[a], letters[b], cb - pos[b]);
        // Both ends on the circle within the rounding of the end point.
        both(buffer);
        both("G17");
        plane = 17;
        for (int i = 0; i < 3; ++i) pos[i] = end[i];
        absolute = true;
        break;
      }
      case 4: {
        const double x = coordinate(40), y = coordinate(40), chordHalf = std::hypot(x - pos[0], y - pos[1]) / 2;
        if (chordHalf < 0.5) break;
        const double r = chordHalf * (1.2 + (next() % 100) / 50.0) * (next() % 2 ? 1 : -1);
        std::snprintf(buffer, sizeof buffer, "G90 %s X%.3f Y%.3f R%.4f F250", next() % 2 ? "G2" : "G3", x, y, r);
        both(buffer);
        pos[0] = x, pos[1] = y, absolute = true;
        break;
      }
      case 5: {
        // A cycle that starts above its R level.
        const int cycles[] = {81, 82, 83, 73, 85, 86, 89};
        const int cycle = cycles[next() % 7];
        both("G90 G0 Z25.");
        pos[2] = 25;
        // G89 with G98 feeds out to the initial level in rs274 (to R, then
        // rapid, on a Fanuc control): G89 only with G99.
        const bool repeat = cycle != 89 && next() % 2;
        const bool g98 = cycle != 89 && (repeat || next() % 2);
        const double z = -static_cast<double>(next() % 8000) / 1000.0 - 1, r = 2;
        const double x = coordinate(40), y = coordinate(40);
        std::string extra;
        if (cycle == 83 || cycle == 73) extra = " Q1.25";
        if (cycle == 82 || cycle == 89) extra = " P0.5";
        if (cycle == 86) extra = " P0";  // rs274 wants a dwell with G86; a Fanuc control has none there
        std::snprintf(buffer, sizeof buffer, "G%d G%d X%.3f Y%.3f Z%.3f R%.3f%s F150", g98 ? 98 : 99, cycle, x, y, z, r,
                      extra.c_str());
        both(buffer);
        pos[0] = x, pos[1] = y;
        if (repeat) {
          // Repeats in G91: each moves by X and Y again; R from the initial
          // level, Z from R (given again: a Fanuc control keeps the levels
          // of the G90 block, rs274 would read them as distances).
          const int repeats = 2 + static_cast<int>(next() % 3);
          const double dx = coordinate(6), dy = coordinate(6);
          std::snprintf(buffer, sizeof buffer, "G91 X%.3f Y%.3f R-23. Z%.3f", dx, dy, z - r);
          out.fanuc += std::string(buffer) + " K" + std::to_string(repeats) + "\n";
          out.rs274 += std::string(buffer) + " L" + std::to_string(repeats) + "\n";
          pos[0] += dx * repeats, pos[1] += dy * repeats;
        }
        both("G80");
        both("G90 G0 Z25.");
        absolute = true;
        break;
      }
      case 6: {
        const int chosen = static_cast<int>(next() % 2);
        std::snprintf(buffer, sizeof buffer, "G%d", 54 + chosen);
        both(buffer);
        for (int i = 0; i < 3; ++i) pos[i] += offsets[system][i] - offsets[chosen][i];
        system = chosen;
        break;
      }
      case 7:
        // Up, then to the reference point (machine 0) in Z only.
        both("G90 G0 Z30.");
        both("G91 G28 Z0.");
        both("G90");
        pos[2] = -offsets[system][2];
        absolute = true;
        break;
      default: {
        const double x = coordinate(30);
        std::snprintf(buffer, sizeof buffer, "G90 G1 X%.3f F%u", x, 100 + next() % 500);
        both(buffer);
        pos[0] = x;
        absolute = true;
        break;
      }
    }
  }
  (void)absolute;
  both("M30");
  return out;
}

TEST(ToolpathRs274, GeneratedMotionPrograms) {
  if (!Rs274There()) GTEST_SKIP() << "rs274 is not installed (Debian package linuxcnc-uspace)";
  TempDir dir;
  for (unsigned seed = 1; seed <= 40; ++seed) {
    const GeneratedProgram program = Generate(seed, 60);
    const fs::path file = dir / ("gen" + std::to_string(seed) + ".ngc");
    WriteFile(file, program.rs274);
    const std::vector<std::string_view> lines = tp::SplitProgramLines(program.fanuc);
    const tp::Result ours = tp::Run(lines, SharedSettings());
    std::string error;
    const std::vector<Step> theirs = Rs274Steps(file, error);
    ASSERT_TRUE(error.empty()) << "seed " << seed << ": rs274: " << error << "\n" << program.rs274;
    ASSERT_FALSE(ours.stopped) << "seed " << seed;
    EXPECT_EQ(Compare(OurSteps(ours), theirs, 1.5e-3), "") << "seed " << seed << "\n" << program.fanuc;
  }
}

}  // namespace
}  // namespace vostrel::test
