// Macro A and custom macro statements must move the tool alike: a program
// compiled with Chg_MacroA on, and executed by the toolpath interpreter,
// makes the same motions (`vostrelc --toolpath json`) as the same program
// compiled with it off. A difference is a fault in the conversion or in
// the interpreter.

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/test_support.h"
#include "tests/vostrelc_process.h"

namespace vostrel::test {
namespace {

namespace fs = std::filesystem;

struct ToolpathRun {
  int status = -1;
  std::string motions;   // standard output
  std::string findings;  // standard error
};

ToolpathRun RunToolpath(const fs::path& source, bool macroA) {
  QProcess process;
  ToolpathRun run;
  RunVostrelc(process, {"--ini", "/dev/null", "-q", "--set", macroA ? "Chg_MacroA=Y" : "Chg_MacroA=N",
                        "--toolpath", "json", "--diagnostics", "json", QString::fromStdString(source.string())},
              run.findings);
  run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.motions = process.readAllStandardOutput().toStdString();
  return run;
}

// The compile findings are the same for both (the syntax check comes before
// Macro A); the toolpath findings name the program's own lines.
std::size_t CountLines(const std::string& text) { return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')); }

void ExpectSameMotion(const fs::path& source, const std::string& name) {
  const ToolpathRun withA = RunToolpath(source, true), withoutA = RunToolpath(source, false);
  EXPECT_EQ(withA.status, withoutA.status) << name << "\nMacro A: " << withA.findings << "\nmacro B: " << withoutA.findings;
  EXPECT_EQ(CountLines(withA.motions), CountLines(withoutA.motions)) << name;
  EXPECT_TRUE(withA.motions == withoutA.motions) << name << ": the motions differ";
}

// A macro program in the forms the Macro A conversion rewrites one for one:
// loops by IF[...]GOTO, arithmetic and functions on common variables, and
// moves whose coordinates come from them.
std::string MacroProgram(unsigned seed) {
  std::uint32_t state = seed;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  auto var = [&] { return "#" + std::to_string(110 + next() % 6); };
  std::string out = "O7000\nG21G90G17G0X0Y0Z10.\n";
  for (int v = 110; v < 116; ++v) out += "#" + std::to_string(v) + "=" + std::to_string(1 + next() % 9) + ".5\n";
  for (int loop = 0; loop < 4; ++loop) {
    const int label = 10 * (loop + 1);
    out += "#100=0\n";
    out += "N" + std::to_string(label) + "#101=" + var() + "*SIN[#100]\n";
    for (int s = 0; s < 8; ++s) {
      const std::string target = var();
      switch (next() % 11) {
        case 0: out += target + "=" + var() + "+" + var() + "\n"; break;
        case 1: out += target + "=" + var() + "-" + var() + "\n"; break;
        case 2: out += target + "=" + var() + "*0.75\n"; break;
        case 3: out += target + "=" + var() + "/4.\n"; break;
        case 4: out += target + "=ABS[" + var() + "]\n"; break;
        case 5:
          // One function a line: the conversion rewrites no nesting.
          out += "#116=ABS[" + var() + "]\n";
          out += target + "=SQRT[#116]\n";
          break;
        case 6: out += target + "=" + var() + "*COS[" + var() + "]\n"; break;
        case 7: out += target + "=ATAN[" + var() + "]/[2.]\n"; break;
        case 8: out += target + "=-" + var() + "\n"; break;
        case 9: out += target + "=" + var() + "MOD7\n"; break;
        default: out += target + "=" + var() + "\n"; break;
      }
      // Keep the values small: a square root of a negative is an alarm.
      out += "IF[" + target + "LT1000.]GOTO" + std::to_string(label * 100 + s) + "\n";
      out += target + "=1.\n";
      out += "N" + std::to_string(label * 100 + s) + "G01X[#101]Y" + target + "F300\n";
    }
    out += "#100=#100+15.\n";
    out += "IF[#100LE90.]GOTO" + std::to_string(label) + "\n";
    out += "G91G02X10.R6.\nG90\n";
  }
  out += "M30\n";
  return out;
}

TEST(ToolpathMacroA, GeneratedMacroPrograms) {
  TempDir dir;
  for (unsigned seed = 1; seed <= 12; ++seed) {
    const fs::path source = dir / ("macro" + std::to_string(seed) + ".nc");
    WriteFile(source, MacroProgram(seed));
    const ToolpathRun run = RunToolpath(source, true);
    ASSERT_EQ(run.status, 0) << run.findings;
    // The loops run: each draws far more moves than the program has lines.
    EXPECT_GT(CountLines(run.motions), 150u) << "seed " << seed;
    ExpectSameMotion(source, "seed " + std::to_string(seed));
  }
}

TEST(ToolpathMacroA, BenchMacroGenerator) {
  const fs::path generator = fs::path(VOSTRELC_PATH).parent_path() / "gen_macro";
  std::error_code ec;
  if (!fs::exists(generator, ec)) GTEST_SKIP() << "the benchmark generator " << generator << " is not built";
  TempDir dir;
  const fs::path source = dir / "gen_macro.nc";
  QProcess process;
  process.setStandardOutputFile(QString::fromStdString(source.string()));
  process.start(QString::fromStdString(generator.string()), {"3000", "200"});
  ASSERT_TRUE(process.waitForFinished(60000));
  ExpectSameMotion(source, "gen_macro 3000 200");
}

TEST(ToolpathMacroA, GoldenCases) {
  std::error_code ec;
  int compared = 0;
  for (const auto& entry : fs::directory_iterator(GOLDEN_DIR, ec)) {
    const fs::path source = entry.path() / "source.nc";
    if (!fs::is_regular_file(source, ec)) continue;
    // Cases whose source does not compile on its own (missing include
    // files, device sources) stop both runs alike.
    ExpectSameMotion(source, entry.path().filename().string());
    ++compared;
  }
  EXPECT_GT(compared, 10);
}

}  // namespace
}  // namespace vostrel::test
