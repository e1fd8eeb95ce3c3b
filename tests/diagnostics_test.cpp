// vostrelc's findings channel: --check verdicts, and the gnu form as Vim's
// default 'errorformat' reads it.

#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "tests/test_support.h"

namespace vostrel::test {
namespace {

namespace fs = std::filesystem;

const std::string kWordList = std::string(GOLDEN_DIR) + "/../../data/ChkData.lst";

// Runs vostrelc with `args` (after an empty settings file and the shipped
// word list); returns the exit status.
int RunVostrelc(const TempDir& tmp, QStringList args) {
  WriteFile(tmp / "empty.INI", "");
  QProcess process;
  process.start(VOSTRELC_PATH, QStringList{"-q", "--ini", QString::fromStdString((tmp / "empty.INI").string()),
                                           "--word-list", QString::fromStdString(kWordList)}
                                   << args);
  EXPECT_TRUE(process.waitForFinished(60000));
  return process.exitCode();
}

TEST(Check, ExitsOneOnlyForErrorFindingsAndWritesNothing) {
  struct Case {
    const char* source;
    int status;
  };
  const Case cases[] = {
      {"%\r\nG00 X0\r\nM30\r\n%\r\n", 0},
      {"$PITCH\r\n#IF OPT\r\nG00\r\n", 0},         // warnings only
      {"#1=[#2\r\n", 1},                           // unbalanced bracket
      {"G00 XYZ\r\n", 1},                          // unknown word
      {"#INCLUDE NOWHERE.DEF\r\nG00\r\n", 1},     // a stop of the run
  };
  for (const Case& c : cases) {
    TempDir tmp;
    WriteFile(tmp / "a.nc", c.source);
    EXPECT_EQ(RunVostrelc(tmp, {"--check", QString::fromStdString((tmp / "a.nc").string())}), c.status)
        << c.source;
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(tmp.path())) ++files;
    EXPECT_EQ(files, 2u) << "--check wrote a file for " << c.source;  // a.nc, empty.INI
  }
  TempDir tmp;
  WriteFile(tmp / "a.nc", "G00\r\n");
  EXPECT_EQ(RunVostrelc(tmp, {"--check", "-o", QString::fromStdString((tmp / "out.nc").string()),
                              QString::fromStdString((tmp / "a.nc").string())}),
            2);
}

// The output streamed to standard output, over many of its blocks, is the
// file -o writes; the columns of findings come from the source file read
// again and from a copy of a piped source alike.
TEST(Check, StreamedOutputAndFindingsOfALargeSource) {
  TempDir tmp;
  std::string source;
  for (int n = 0; n < 120000; ++n)
    source += n % 997 == 5 ? Sjis("#1=[ｱ漢字] + xyz" + std::to_string(n)) + "\r\n"
                           : "G01 X" + std::to_string(n) + ".5 Y-2. F200" + (n % 7 ? "\r\n" : "\n");
  WriteFile(tmp / "a.nc", source);
  const QString a = QString::fromStdString((tmp / "a.nc").string());
  ASSERT_EQ(RunVostrelc(tmp, {"-o", QString::fromStdString((tmp / "out.nc").string()), a}), 0);
  QProcess process;
  process.start(VOSTRELC_PATH, {"-q", "--ini", QString::fromStdString((tmp / "empty.INI").string()), "--stdout", a});
  ASSERT_TRUE(process.waitForFinished(60000));
  EXPECT_TRUE(process.readAllStandardOutput().toStdString() == ReadFile(tmp / "out.nc"));

  // The findings without their file names: from the file, and from a pipe.
  auto findings = [&](const std::string& name) {
    std::istringstream lines(ReadFile(tmp / name));
    std::string line, places;
    while (std::getline(lines, line)) places += line.substr(line.find(':')) + "\n";
    return places;
  };
  EXPECT_EQ(RunVostrelc(tmp, {"--check", "--diagnostics", "gnu", "--diagnostics-file",
                              QString::fromStdString((tmp / "file.txt").string()), a}),
            1);
  QProcess piped;
  piped.start(VOSTRELC_PATH, {"-q", "--ini", QString::fromStdString((tmp / "empty.INI").string()), "--word-list",
                              QString::fromStdString(kWordList), "--check", "--diagnostics", "gnu",
                              "--diagnostics-file", QString::fromStdString((tmp / "pipe.txt").string()),
                              "/dev/stdin"});
  piped.write(source.data(), static_cast<qint64>(source.size()));
  piped.closeWriteChannel();
  ASSERT_TRUE(piped.waitForFinished(60000));
  EXPECT_GT(findings("file.txt").size(), 1000u);
  EXPECT_EQ(findings("file.txt"), findings("pipe.txt"));
}

TEST(Diagnostics, VimDefaultErrorformatReadsTheGnuForm) {
  const QString vim = QStandardPaths::findExecutable("vim");
  if (vim.isEmpty()) GTEST_SKIP() << "vim is not installed";
  TempDir tmp;
  const fs::path source = fs::path(GOLDEN_DIR) / "diag_every_finding" / "source.nc";
  const fs::path findings = tmp / "findings.txt", quickfix = tmp / "quickfix.txt";
  RunVostrelc(tmp, {"--check", "--exe-dir", QString::fromStdString(source.parent_path().string()),
                    "--diagnostics", "gnu", "--diagnostics-file", QString::fromStdString(findings.string()),
                    QString::fromStdString(source.string())});

  // Vim without any settings: 'errorformat' has its default value.
  QProcess process;
  process.start(vim, {"-es", "-u", "NONE", "-i", "NONE", "-N", "-c", "cfile " + QString::fromStdString(findings.string()),
                      "-c",
                      "call writefile(map(getqflist(), {_, e -> e.valid . ' ' . fnamemodify(bufname(e.bufnr), ':t') "
                      ". ':' . e.lnum . ':' . e.col}), '" + QString::fromStdString(quickfix.string()) + "')",
                      "-c", "qa!"});
  ASSERT_TRUE(process.waitForFinished(30000));
  std::vector<std::string> entries;
  std::istringstream in(ReadFile(quickfix));
  for (std::string line; std::getline(in, line);) entries.push_back(line);
  EXPECT_EQ(entries, (std::vector<std::string>{"1 source.nc:10:1", "1 source.nc:4:1", "1 COMMON.DEF:5:1",
                                               "1 source.nc:5:2", "1 COMMON.DEF:2:2", "1 source.nc:3:2",
                                               "1 source.nc:8:4", "1 source.nc:7:24"}));
}

// A file name is bytes: one that is not UTF-8, holds a line break that
// would forge a finding of its own, and starts with "-" (after "--" it is a
// source). Each form keeps one finding to one line; json stays UTF-8.
TEST(Diagnostics, FileNamesOfAnyBytesStayOneFindingALine) {
  TempDir tmp;
  struct Case {
    const char* format;
    std::string holds;  // in the one line (gnu escapes control bytes only)
  };
  const Case cases[] = {{"json", "\\n9:9: error: forged \\udcff"}, {"gnu", "\\n9:9: error: forged \xff"}};
  for (const Case& c : cases) {
    // The bytes cannot pass through the test's own text strings: the shell
    // makes them.
    const std::string command =
        "f=\"$2/-$(printf 'a\\n9:9: error: forged \\377')\"; printf 'G00 XYZ\\r\\n' > \"$f\"; "
        "exec \"$0\" -q --ini /dev/null --word-list \"$1\" --check --diagnostics \"$3\" -- \"$f\"";
    QProcess process;
    process.start("/bin/sh", {"-c", QString::fromStdString(command), VOSTRELC_PATH, QString::fromStdString(kWordList),
                              QString::fromStdString(tmp.path().string()), c.format});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 1) << c.format;  // the unknown word XYZ
    const std::string out = process.readAllStandardError().toStdString();
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << c.format << ": " << out;
    EXPECT_NE(out.find(c.holds), std::string::npos) << c.format << ": " << out;
    if (std::string(c.format) == "json") {
      EXPECT_EQ(out.find('\xff'), std::string::npos) << "not UTF-8: " << out;
      EXPECT_TRUE(QString::fromUtf8(out.data(), static_cast<int>(out.size())).toUtf8().toStdString() == out) << out;
    }
  }
}

}  // namespace
}  // namespace vostrel::test
