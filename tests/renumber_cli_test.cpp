// vostrelc --renumber end to end: the renumbered program moves the tool as
// the original does, and a real program changes in nothing but its N words
// and its jump targets.

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>

#include <filesystem>
#include <string>
#include <string_view>

#include "tests/macro_program.h"
#include "tests/test_support.h"
#include "tests/vostrelc_process.h"

namespace vostrel::test {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string out, err;
};

Outcome Vostrelc(const QStringList& args) {
  QProcess process;
  Outcome run;
  if (!RunVostrelc(process, QStringList{"--ini", "/dev/null", "-q"} + args, run.err)) return run;
  run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.out = process.readAllStandardOutput().toStdString();
  return run;
}

QStringList Renumbering(const QString& blocks, bool force) {
  QStringList args{"--renumber", "100,5", "--renumber-blocks", blocks};
  if (force) args << "--renumber-force";
  return args;
}

// The generated macro program, then a WHILE loop left by a GOTO and a
// subprogram that returns by M99 P to a block past the call.
std::string MacroProgramWithSubprogram(unsigned seed) {
  std::string program = MacroProgram(seed);
  program.resize(program.rfind("M30\n"));
  program +=
      "#120=0\nN8000WHILE[#120LT5]DO1\n#120=#120+1\nIF[#120EQ3]GOTO8100\nG01X#120Y1.F100\nEND1\n"
      "N8100M98P7100\nG00X5.\nN8200G00Y5.\nM30\nO7100\nG01X2.Y2.F200\nM99P8200\n";
  return program;
}

void ExpectSameToolpath(const fs::path& source, const QString& macroA, const QString& blocks, bool force) {
  const QStringList common{"--set", "Chg_MacroA=" + macroA, "--toolpath", "json"};
  const Outcome original = Vostrelc(common + QStringList{QString::fromStdString(source.string())});
  const Outcome renumbered =
      Vostrelc(common + Renumbering(blocks, force) + QStringList{QString::fromStdString(source.string())});
  const std::string what = source.filename().string() + " Macro A " + macroA.toStdString() + " " + blocks.toStdString();
  EXPECT_EQ(original.status, renumbered.status) << what << "\n" << renumbered.err;
  EXPECT_GT(original.out.size(), 0u) << what;
  EXPECT_TRUE(original.out == renumbered.out) << what << ": the toolpaths differ";
}

TEST(RenumberCli, GeneratedMacroProgramsKeepTheirToolpath) {
  TempDir dir;
  for (unsigned seed = 1; seed <= 4; ++seed) {
    const fs::path source = dir / ("macro" + std::to_string(seed) + ".nc");
    WriteFile(source, MacroProgramWithSubprogram(seed));
    for (const QString macroA : {"Y", "N"})
      for (const QString blocks : {"numbered", "all", "targets"}) ExpectSameToolpath(source, macroA, blocks, false);
  }
}

TEST(RenumberCli, BenchMacroGeneratorIsRefusedUnlessForced) {
  const fs::path generator = fs::path(VOSTRELC_PATH).parent_path() / "gen_macro";
  std::error_code ec;
  if (!fs::exists(generator, ec)) GTEST_SKIP() << "the benchmark generator " << generator << " is not built";
  TempDir dir;
  const fs::path source = dir / "gen_macro.nc", output = dir / "out.nc";
  QProcess process;
  process.setStandardOutputFile(QString::fromStdString(source.string()));
  process.start(QString::fromStdString(generator.string()), {"3000", "200"});
  ASSERT_TRUE(process.waitForFinished(60000));
  // Its GOTOs name blocks it never numbers.
  const Outcome refused = Vostrelc(Renumbering("all", false) +
                               QStringList{"-o", QString::fromStdString(output.string()),
                                           QString::fromStdString(source.string())});
  EXPECT_EQ(refused.status, 1) << refused.err;
  EXPECT_NE(refused.err.find("がありません"), std::string::npos) << refused.err;
  EXPECT_FALSE(fs::exists(output, ec));
  for (const QString macroA : {"Y", "N"}) ExpectSameToolpath(source, macroA, "all", true);
}

// A line without its sequence number and without the numbers of its jump
// targets (after GOTO, and after P in a block of M99, M97 or G65 H80-H86);
// remarks kept as they are.
std::string Stripped(std::string_view line) {
  std::size_t p = 0;
  while (p < line.size() && (line[p] == ' ' || line[p] == '\t')) ++p;
  if (p < line.size() && line[p] == '/')
    for (++p; p < line.size() && std::isdigit(static_cast<unsigned char>(line[p]));) ++p;
  std::string out(line.substr(0, p));
  if (p < line.size() && (line[p] == 'N' || line[p] == 'n') && p + 1 < line.size() &&
      std::isdigit(static_cast<unsigned char>(line[p + 1])))
    for (++p; p < line.size() && std::isdigit(static_cast<unsigned char>(line[p]));) ++p;
  const std::string rest(line.substr(p));
  const bool pIsTarget = rest.find("M99") != std::string::npos || rest.find("M97") != std::string::npos ||
                         rest.find("G65H8") != std::string::npos;
  bool remark = false;
  for (std::size_t i = 0; i < rest.size(); ++i) {
    const char c = rest[i];
    out.push_back(c);
    if (c == '(') remark = true;
    if (c == ')') remark = false;
    if (remark) continue;
    const bool target = (c == 'O' && i >= 3 && rest.compare(i - 3, 4, "GOTO") == 0) || (c == 'P' && pIsTarget);
    if (target)
      while (i + 1 < rest.size() && std::isdigit(static_cast<unsigned char>(rest[i + 1]))) ++i;
  }
  return out;
}

std::string StrippedText(const std::string& text) {
  std::string out;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    out += Stripped(std::string_view(text).substr(start, end - start)) + '\n';
    start = end + 1;
  }
  return out;
}

TEST(RenumberCli, RealProgramsChangeOnlyInNumbersAndTargets) {
  const auto dir = CorpusDir();
  if (!dir) GTEST_SKIP() << "no corpus of real NC programs in this clone";
  int compiled = 0, changed = 0;
  for (const auto& entry : fs::directory_iterator(*dir)) {
    const std::string name = entry.path().filename().string();
    if (!entry.is_regular_file() || name.ends_with(".md")) continue;
    const QString source = QString::fromStdString(entry.path().string());
    const Outcome original = Vostrelc({"--stdout", source});
    if (original.status != 0) continue;  // a sample that does not compile
    ++compiled;
    for (const QString blocks : {"numbered", "all"}) {
      const Outcome renumbered = Vostrelc(Renumbering(blocks, true) + QStringList{"--stdout", source});
      ASSERT_EQ(renumbered.status, 0) << name << "\n" << renumbered.err;
      EXPECT_EQ(StrippedText(renumbered.out), StrippedText(original.out)) << name << " " << blocks.toStdString();
      if (renumbered.out != original.out) ++changed;
    }
  }
  EXPECT_GT(compiled, 10);
  EXPECT_GT(changed, compiled);  // "all" numbers every one of them
}

}  // namespace
}  // namespace vostrel::test
