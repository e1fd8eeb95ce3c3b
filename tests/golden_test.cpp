// Golden end-to-end cases: each folder of tests/golden runs vostrelc once.
//
// A case folder holds:
//   source.nc        the source (any bytes)
//   args             optional: vostrelc arguments, one per line; {case} is
//                    the case folder, {out} the output path, {tmp} a scratch
//                    folder. Default: "-o", "{out}", "{case}/source.nc".
//   expected.nc      the compiled bytes; absent means no output is written
//   expected.log     the run log (UTF-8, LF)
//   expected.status  optional exit status (default 0)
//   (without --ini in args, the case runs with an empty settings file)
//   expected.stderr  optional lines that standard error must contain
//                    ({case} and {tmp} as in args)
//   expected.stdout  optional: the exact bytes of standard output
//   setup            optional: files to create before the run, one per line
//                    as "{tmp}/name<TAB>content" (content may use \r \n)
//   expected.json    the findings of --diagnostics json, with {case} and
//                    {tmp} for the folders; absent means none
//   expected.gnu     optional: the findings of --diagnostics gnu (a second
//                    run of the case)
// vostrelc runs in {tmp}: a relative path is named there in the messages.
// With VOSTREL_UPDATE_GOLDEN=1 the expected files are rewritten from the
// actual results instead of compared.
//
// Built with VOSTRELC_LAUNCHER (wine_tests), the same cases run the Windows
// vostrelc.exe under Wine, with the same expected bytes; the few cases that
// cannot mean the same there are listed in WindowsExceptions with the reason.

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

#include "tests/test_support.h"
#include "tests/vostrelc_process.h"

namespace vostrel::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> CaseNames() {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(GOLDEN_DIR, ec))
    if (entry.is_directory()) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string Substitute(std::string text, const std::string& key, const std::string& value) {
  for (std::size_t p = text.find(key); p != std::string::npos; p = text.find(key, p + value.size()))
    text.replace(p, key.size(), value);
  return text;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string Unescape(const std::string& text) {
  return Substitute(Substitute(Substitute(text, "\\r", "\r"), "\\n", "\n"), "\\t", "\t");
}

// Where two texts first differ, as "line N: expected ... / actual ...".
std::string FirstDifference(const std::string& expected, const std::string& actual,
                            const std::string& separator) {
  auto split = [&](const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t p; (p = text.find(separator, start)) != std::string::npos; start = p + separator.size())
      parts.push_back(text.substr(start, p - start));
    parts.push_back(text.substr(start));
    return parts;
  };
  const auto e = split(expected), a = split(actual);
  for (std::size_t i = 0; i < std::max(e.size(), a.size()); ++i) {
    const std::string el = i < e.size() ? e[i] : "<none>", al = i < a.size() ? a[i] : "<none>";
    if (el != al)
      return "first difference at line " + std::to_string(i + 1) + ":\n  expected: " + el +
             "\n  actual:   " + al;
  }
  return "texts differ";
}

class GoldenCase : public ::testing::TestWithParam<std::string> {};

#ifdef VOSTRELC_LAUNCHER
// Cases whose meaning is tied to a POSIX system, with the reason.
const std::map<std::string, std::string>& WindowsExceptions() {
  static const std::map<std::string, std::string> exceptions = {
#include "tests/windows/golden_exceptions.inc"
  };
  return exceptions;
}
#endif

TEST_P(GoldenCase, CompilesAsRecorded) {
  const fs::path dir = fs::path(GOLDEN_DIR) / GetParam();
#ifdef VOSTRELC_LAUNCHER
  if (!WindowsToolsThere()) GTEST_SKIP() << WindowsToolsMissing();
  if (const auto it = WindowsExceptions().find(GetParam()); it != WindowsExceptions().end())
    GTEST_SKIP() << "not run on Windows: " << it->second;
#endif
  TempDir tmp;
  const std::string out = (tmp / "out.nc").string();
  const std::string log = (tmp / "run.log").string();
  auto expand = [&](std::string text) {
    return Substitute(Substitute(Substitute(text, "{case}", dir.string()), "{out}", out), "{tmp}",
                      tmp.path().string());
  };

  if (fs::exists(dir / "setup")) {
    for (const auto& line : Lines(ReadFile(dir / "setup"))) {
      const std::size_t tab = line.find('\t');
      ASSERT_NE(tab, std::string::npos) << "setup line without a tab: " << line;
      const fs::path target = expand(line.substr(0, tab));
      fs::create_directories(target.parent_path());
      WriteFile(target, Unescape(line.substr(tab + 1)));
    }
  }

  const std::string diagnostics = (tmp / "diagnostics").string();
  QStringList args{"--log", QString::fromStdString(log), "--diagnostics-file",
                   QString::fromStdString(diagnostics)};
  const std::string argText =
      fs::exists(dir / "args") ? ReadFile(dir / "args") : "-o\n{out}\n{case}/source.nc\n";
  // A case reads no settings file unless it names one: the desktop
  // program's settings beside vostrelc must not change the results.
  if (argText.find("--ini") == std::string::npos) {
    WriteFile(tmp / "empty.INI", "");
    args << "--ini" << QString::fromStdString((tmp / "empty.INI").string());
  }
  for (const auto& line : Lines(argText))
    if (!line.empty()) args << QString::fromStdString(expand(line));
  // The folders in the findings, as the expected files write them.
  auto findings = [&] {
    return Substitute(Substitute(ReadFile(diagnostics), dir.string(), "{case}"), tmp.path().string(), "{tmp}");
  };

  std::string gnuFindings;
  if (fs::exists(dir / "expected.gnu")) {
    QProcess gnu;
    gnu.setWorkingDirectory(QString::fromStdString(tmp.path().string()));
    fs::remove(out);
    std::string gnuError;
    ASSERT_TRUE(RunVostrelc(gnu, QStringList(args) << "--diagnostics" << "gnu", gnuError))
        << "vostrelc did not finish";
    gnuFindings = findings();
    fs::remove(out);
  }

  QProcess process;
  process.setWorkingDirectory(QString::fromStdString(tmp.path().string()));
  std::string stderrText;
  ASSERT_TRUE(RunVostrelc(process, QStringList(args) << "--diagnostics" << "json", stderrText))
      << "vostrelc did not finish";
  const std::string jsonFindings = findings();
  const int status = process.exitCode();
  const std::string stdoutBytes = process.readAllStandardOutput().toStdString();
  const std::string actualLog = ReadFile(log);
  const bool wroteOutput = fs::exists(out);
  const std::string actualOut = wroteOutput ? ReadFile(out) : std::string();

#ifdef VOSTRELC_LAUNCHER
  const bool update = false;  // the record is the Linux program's
#else
  const bool update = std::getenv("VOSTREL_UPDATE_GOLDEN") != nullptr;
#endif
  if (update) {
    WriteFile(dir / "expected.log", actualLog);
    if (wroteOutput) WriteFile(dir / "expected.nc", actualOut);
    else fs::remove(dir / "expected.nc");
    if (fs::exists(dir / "expected.stdout")) WriteFile(dir / "expected.stdout", stdoutBytes);
    if (!jsonFindings.empty()) WriteFile(dir / "expected.json", jsonFindings);
    else fs::remove(dir / "expected.json");
    if (fs::exists(dir / "expected.gnu")) WriteFile(dir / "expected.gnu", gnuFindings);
    if (status != 0) WriteFile(dir / "expected.status", std::to_string(status) + "\n");
    else fs::remove(dir / "expected.status");
    GTEST_SKIP() << "golden files of " << GetParam() << " rewritten";
  }

  const int expectedStatus =
      fs::exists(dir / "expected.status") ? std::stoi(ReadFile(dir / "expected.status")) : 0;
  EXPECT_EQ(status, expectedStatus) << "standard error:\n" << stderrText;
  EXPECT_EQ(actualLog, ReadFile(dir / "expected.log"))
      << "run log: " << FirstDifference(ReadFile(dir / "expected.log"), actualLog, "\n");
  // Windows joins a folder and a file name with a backslash ("..\" and
  // the word list beside the program), and a full path there starts with
  // the drive Wine gives the Linux root (Z:): the messages match up to that
  // (in JSON a backslash is written as two).
  auto slashes = [](std::string text) {
#ifdef VOSTRELC_LAUNCHER
    text = Substitute(text, "\\\\", "/");
    std::replace(text.begin(), text.end(), '\\', '/');
    text = Substitute(text, "Z:/", "/");
#endif
    return text;
  };
  // The findings with their folders as the expected files write them.
  auto recorded = [&](const std::string& text) {
    return Substitute(Substitute(slashes(text), dir.string(), "{case}"), tmp.path().string(), "{tmp}");
  };
  const std::string expectedJson =
      slashes(fs::exists(dir / "expected.json") ? ReadFile(dir / "expected.json") : "");
  EXPECT_EQ(recorded(jsonFindings), expectedJson)
      << "json findings: " << FirstDifference(expectedJson, recorded(jsonFindings), "\n");
  if (fs::exists(dir / "expected.gnu")) {
    const std::string expected = slashes(ReadFile(dir / "expected.gnu"));
    EXPECT_EQ(recorded(gnuFindings), expected) << "gnu findings: " << FirstDifference(expected, recorded(gnuFindings), "\n");
  }
  if (fs::exists(dir / "expected.nc")) {
    ASSERT_TRUE(wroteOutput) << "no output written";
    const std::string expected = ReadFile(dir / "expected.nc");
    EXPECT_TRUE(actualOut == expected) << "output: " << FirstDifference(expected, actualOut, "\r\n");
  } else {
    EXPECT_FALSE(wroteOutput) << "an output file was written";
  }
  if (fs::exists(dir / "expected.stdout")) {
    const std::string expected = ReadFile(dir / "expected.stdout");
    EXPECT_TRUE(stdoutBytes == expected) << "standard output: " << FirstDifference(expected, stdoutBytes, "\r\n");
  }
  if (fs::exists(dir / "expected.stderr")) {
    stderrText = slashes(stderrText);
    for (const auto& line : Lines(ReadFile(dir / "expected.stderr"))) {
      EXPECT_NE(stderrText.find(expand(line)), std::string::npos)
          << "standard error lacks: " << line << "\nstandard error:\n" << stderrText;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Golden, GoldenCase, ::testing::ValuesIn(CaseNames()),
                         [](const auto& info) {
                           std::string name = info.param;
                           std::replace_if(name.begin(), name.end(),
                                           [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
                           return name;
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(GoldenCase);

}  // namespace
}  // namespace vostrel::test
