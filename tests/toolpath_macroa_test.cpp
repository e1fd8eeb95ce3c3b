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

#include "tests/macro_program.h"
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
