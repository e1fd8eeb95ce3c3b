// Windows-only cases of vostrelc.exe under Wine: drive-letter, backslash and
// \\?\ paths, "..\" in an include path and the settings file beside the
// program, non-ASCII file names, and a replace that fails and keeps the old
// file. Each result is held to what the Linux vostrelc makes of the same
// input.

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>

#include <filesystem>
#include <string>

#include "tests/test_support.h"
#include "tests/vostrelc_process.h"
#include "text/path_text.h"

namespace vostrel::test {
namespace {

namespace fs = std::filesystem;

struct Result {
  int status = -1;
  std::string standardError;
};

Result Finish(QProcess& process) {
  Result result;
  if (!process.waitForFinished(120000)) return result;
  result.status = process.exitCode();
  result.standardError = process.readAllStandardError().toStdString();
  return result;
}

Result RunWindows(const QStringList& args, const fs::path& workingDir) {
  QProcess process;
  process.setWorkingDirectory(QString::fromStdString(workingDir.string()));
  Result result;
  if (RunVostrelc(process, args, result.standardError)) result.status = process.exitCode();
  return result;
}

Result RunLinux(const QStringList& args, const fs::path& workingDir) {
  QProcess process;
  process.setWorkingDirectory(QString::fromStdString(workingDir.string()));
  process.start(LINUX_VOSTRELC_PATH, args);
  return Finish(process);
}

QStringList Args(std::initializer_list<std::string> items) {
  QStringList args;
  for (const std::string& item : items) args << QString::fromUtf8(item.data(), static_cast<qsizetype>(item.size()));
  return args;
}

// Wine shows the whole Linux file system as drive Z:.
std::string DrivePath(const fs::path& path) {
  std::string text = "Z:" + path.string();
  for (char& c : text)
    if (c == '/') c = '\\';
  return text;
}

const std::string kSource = "g01 x10 y-5.5 ;to the corner\r\n\r\n\tg00 z100\r\nm30\r\n";

class WindowsCli : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!WindowsToolsThere()) GTEST_SKIP() << WindowsToolsMissing();
    WriteFile(tmp / "empty.INI", "");
    WriteFile(tmp / "source.nc", kSource);
    const Result linux = RunLinux(Args({"--ini", (tmp / "empty.INI").string(), "-q", "-o",
                                        (tmp / "linux.nc").string(), (tmp / "source.nc").string()}),
                                  tmp.path());
    ASSERT_EQ(linux.status, 0) << linux.standardError;
    expected = ReadFile(tmp / "linux.nc");
  }
  TempDir tmp;
  std::string expected;
};

TEST_F(WindowsCli, DriveLetterBackslashAndLongPathPrefixes) {
  struct Case {
    std::string name, source, output;
  };
  const Case cases[] = {
      {"drive letter", DrivePath(tmp / "source.nc"), DrivePath(tmp / "drive.nc")},
      {"\\\\?\\ prefix", "\\\\?\\" + DrivePath(tmp / "source.nc"), "\\\\?\\" + DrivePath(tmp / "long.nc")},
      {"relative with backslashes", "..\\" + tmp.path().filename().string() + "\\source.nc", "sub\\rel.nc"},
  };
  fs::create_directories(tmp / "sub");
  for (const Case& c : cases) {
    const Result result =
        RunWindows(Args({"--ini", DrivePath(tmp / "empty.INI"), "-q", "-o", c.output, c.source}), tmp.path());
    ASSERT_EQ(result.status, 0) << c.name << ": " << result.standardError;
  }
  EXPECT_EQ(ReadFile(tmp / "drive.nc"), expected);
  EXPECT_EQ(ReadFile(tmp / "long.nc"), expected);
  EXPECT_EQ(ReadFile(tmp / "sub" / "rel.nc"), expected);
}

// "..\" is the program's own folder, and the settings file beside the
// program is read: the copy of vostrelc.exe in prog/ with vostrel.INI
// (start character "@") and DEF\COMMON.DEF beside it.
TEST_F(WindowsCli, IncludeAndSettingsBesideTheProgram) {
  const fs::path prog = tmp / "prog", work = tmp / "work";
  fs::create_directories(prog / "DEF");
  fs::create_directories(work);
  fs::copy_file(VOSTRELC_PATH, prog / "vostrelc.exe");
  fs::copy_file(fs::path(VOSTRELC_PATH).parent_path() / "ChkData.lst", prog / "ChkData.lst");
  WriteFile(prog / "vostrel.INI", "[Options]\r\nStartChar=@\r\n");
  WriteFile(prog / "DEF" / "COMMON.DEF", "@XPOS 125.5 ;the corner\r\n");
  WriteFile(work / "part.nc", "#INCLUDE ..\\DEF\\COMMON.DEF\r\nG01 XXPOS\r\nM30\r\n");

  QProcess process;
  process.setWorkingDirectory(QString::fromStdString(work.string()));
  process.start(VOSTRELC_LAUNCHER, Args({(prog / "vostrelc.exe").string(), "-q", "-o", "out.nc", "part.nc"}));
  const Result result = Finish(process);
  ASSERT_EQ(result.status, 0) << result.standardError;

  const Result linux = RunLinux(Args({"--exe-dir", prog.string(), "-q", "-o", "linux.nc", "part.nc"}), work);
  ASSERT_EQ(linux.status, 0) << linux.standardError;
  EXPECT_EQ(ReadFile(work / "out.nc"), ReadFile(work / "linux.nc"));
  EXPECT_NE(ReadFile(work / "out.nc").find("125.5"), std::string::npos) << ReadFile(work / "out.nc");
}

// Names on Windows differ by more than their case: an output that is a
// source spelt in other letters, and two outputs that differ only by case,
// stop the batch before anything is written.
TEST_F(WindowsCli, BatchComparesNamesWithoutRegardToCase) {
  fs::create_directories(tmp / "src");
  fs::create_directories(tmp / "src2");
  fs::create_directories(tmp / "out");
  fs::create_directories(tmp / "empty");
  WriteFile(tmp / "src" / "a.nc", kSource);
  WriteFile(tmp / "src2" / "A.nc", kSource);
  WriteFile(tmp / "out" / "A.nc", kSource);
  struct Case {
    std::string name, said, outDir;
    QStringList sources;
  };
  const Case cases[] = {
      {"an output is a source", "would overwrite the source", "out",
       Args({DrivePath(tmp / "src" / "a.nc"), DrivePath(tmp / "out" / "A.nc")})},
      // Neither output is there yet: the names are compared.
      {"two outputs differ by case", "name the same file", "empty",
       Args({DrivePath(tmp / "src" / "a.nc"), DrivePath(tmp / "src2" / "A.nc")})},
  };
  for (const Case& c : cases) {
    const Result result = RunWindows(
        Args({"--ini", DrivePath(tmp / "empty.INI"), "-q", "-d", DrivePath(tmp / c.outDir), "--ext", "nc"}) +
            c.sources,
        tmp.path());
    EXPECT_EQ(result.status, 2) << c.name << ": " << result.standardError;
    EXPECT_NE(result.standardError.find(c.said), std::string::npos) << c.name << ": " << result.standardError;
    EXPECT_EQ(ReadFile(tmp / "out" / "A.nc"), kSource) << c.name;
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp / "out"), {}), 1) << c.name;
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp / "empty"), {}), 0) << c.name;
  }
}

TEST_F(WindowsCli, NonAsciiFileNames) {
  const fs::path source = tmp / PathFromUtf8("加工プログラム.nc");
  const fs::path output = tmp / PathFromUtf8("出力ファイル.NC");
  const fs::path log = tmp / PathFromUtf8("記録.log");
  WriteFile(source, kSource);
  const Result result = RunWindows(
      Args({"--ini", (tmp / "empty.INI").string(), "--log", PathToUtf8(log), "-o", PathToUtf8(output),
            PathToUtf8(source)}),
      tmp.path());
  ASSERT_EQ(result.status, 0) << result.standardError;
  EXPECT_EQ(ReadFile(output), expected);
  EXPECT_NE(ReadFile(log).find("--- ｺﾝﾊﾟｲﾙ 完了 ---"), std::string::npos) << "the log is UTF-8";
}

// Another process holds the output open, sharing nothing: the replace
// fails, the old file stays as it was, and no temporary file is left.
TEST_F(WindowsCli, FailedReplaceKeepsTheOldFile) {
  WriteFile(tmp / "out.nc", "OLD CONTENT\r\n");
  QProcess holder;
  holder.start(VOSTRELC_LAUNCHER, Args({WINDOWS_HOLD_FILE, DrivePath(tmp / "out.nc")}));
  ASSERT_TRUE(holder.waitForReadyRead(60000)) << "the holder did not start";
  ASSERT_EQ(holder.readLine().trimmed().toStdString(), "held");

  const Result result =
      RunWindows(Args({"--ini", (tmp / "empty.INI").string(), "--force", "-q", "-o", (tmp / "out.nc").string(),
                       (tmp / "source.nc").string()}),
                 tmp.path());
  holder.closeWriteChannel();
  holder.waitForFinished(60000);

  EXPECT_EQ(result.status, 2) << result.standardError;
  EXPECT_NE(result.standardError.find("cannot write the output"), std::string::npos) << result.standardError;
  EXPECT_EQ(ReadFile(tmp / "out.nc"), "OLD CONTENT\r\n");
  for (const auto& entry : fs::directory_iterator(tmp.path()))
    EXPECT_NE(entry.path().extension(), ".tmp") << "left behind: " << entry.path();
}

// Ctrl-C in the console while the run goes on: status 130, as on Linux, and
// the old output stays. Wine delivers console events only to a program in a
// terminal, so the run gets one from script(1).
TEST_F(WindowsCli, CtrlCStopsTheRunWithStatus130) {
  if (!fs::exists("/usr/bin/script")) GTEST_SKIP() << "needs script(1) for a terminal";
  // Long enough that the run is still going when the Ctrl-C arrives (a
  // fraction of a second of compiling is not).
  std::string big;
  for (int i = 0; i < 2000000; ++i)
    big += "#" + std::to_string(100 + i % 800) + "=[#1+" + std::to_string(i) + "]*2\r\n";
  WriteFile(tmp / "big.nc", big);
  WriteFile(tmp / "out.nc", "OLD CONTENT\r\n");
  const std::string command = std::string(VOSTRELC_LAUNCHER) + " '" + WINDOWS_CTRL_C + "' '" + VOSTRELC_PATH +
                              "' --ini empty.INI --force --set Chg_MacroA=Y -o out.nc big.nc";
  QProcess process;
  process.setWorkingDirectory(QString::fromStdString(tmp.path().string()));
  process.start("/usr/bin/script", Args({"-qec", command, "/dev/null"}));
  process.closeWriteChannel();
  const Result result = Finish(process);
  const std::string screen = process.readAllStandardOutput().toStdString();
  EXPECT_EQ(result.status, 130) << screen;
  EXPECT_EQ(ReadFile(tmp / "out.nc"), "OLD CONTENT\r\n");
}

// The conversion against Windows' own code page 932 converter, over every
// code both ways (tests/windows/cp932_check.cpp lists the known differences).
TEST(WindowsCodePage, MatchesMultiByteToWideChar) {
  if (!WindowsToolsThere()) GTEST_SKIP() << WindowsToolsMissing();
  QProcess process;
  process.start(VOSTRELC_LAUNCHER, Args({WINDOWS_CP932_CHECK}));
  ASSERT_TRUE(process.waitForFinished(120000));
  const std::string report = process.readAllStandardOutput().trimmed().toStdString();
  EXPECT_EQ(process.exitCode(), 0);
  EXPECT_EQ(report, "0 differences");
}

}  // namespace
}  // namespace vostrel::test
