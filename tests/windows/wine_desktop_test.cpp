// The Windows desktop program under Wine, held to the Linux build:
//  - the golden cases run through the main window and the viewer (the
//    developer tool's scripted run): output and log byte-identical;
//  - the viewer's print to PDF: the same pages;
//  - Japanese fonts found, and screenshots of every window;
//  - the installer: silent install, the installed vostrel.exe compiles a
//    source in a folder with Japanese characters and spaces, silent
//    uninstall leaves only the user's own files.
// Run by tests/windows/run_on_wine_display.sh (a virtual display, a window
// manager and a Wine prefix of its own).

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>

#include "tests/test_support.h"
#include "text/path_text.h"

namespace vostrel::test {
namespace {

namespace fs = std::filesystem;

const char* const kWine = "/usr/lib/wine/wine64";
const char* const kWineServer = "/usr/lib/wine/wineserver";

QString Q(const std::string& text) { return QString::fromStdString(text); }
QString Q(const fs::path& path) { return QString::fromStdString(path.string()); }

struct ProcessResult {
  int status = -1;
  std::string out, err;
};

ProcessResult Finish(QProcess& process, int timeoutMs = 180000) {
  ProcessResult run;
  if (!process.waitForStarted(30000) || !process.waitForFinished(timeoutMs)) {
    process.kill();
    process.waitForFinished(5000);
    run.err = "did not finish: " + process.errorString().toStdString();
    return run;
  }
  run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.out = process.readAllStandardOutput().toStdString();
  run.err = process.readAllStandardError().toStdString();
  return run;
}

ProcessResult RunLinuxTool(const QStringList& args) {
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  process.setProcessEnvironment(env);
  process.start(LINUX_DEVTOOL, args);
  return Finish(process);
}

ProcessResult RunWindowsProgram(const std::string& exe, const QStringList& args, int timeoutMs = 180000) {
  for (int attempt = 1;; ++attempt) {
    QProcess process;
    process.start(kWine, QStringList{Q(exe)} + args);
    ProcessResult run = Finish(process, timeoutMs);
    if (attempt < 3 && run.status != 0 && WineDidNotStartTheProgram(run.err)) continue;
    return run;
  }
}

// Waits until every process of the prefix has ended (the uninstaller
// starts a copy of itself and returns at once).
void WaitForWine() {
  QProcess server;
  server.start(kWineServer, {"-w"});
  server.waitForFinished(180000);
}

fs::path WinePrefix() {
  const char* prefix = std::getenv("WINEPREFIX");
  return prefix ? fs::path(prefix) : fs::path();
}

// Wine shows the Linux file system as drive Z:.
std::string DrivePath(const fs::path& path) {
  std::string text = "Z:" + path.string();
  std::replace(text.begin(), text.end(), '/', '\\');
  return text;
}

class WindowsDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(WINDOWS_DEVTOOL)) GTEST_SKIP() << WINDOWS_DEVTOOL << " is not built (make windows)";
    if (WinePrefix().empty()) GTEST_SKIP() << "run through tests/windows/run_on_wine_display.sh";
  }
  TempDir tmp;
};

std::vector<fs::path> GoldenCases() {
  std::vector<fs::path> cases;
  for (const auto& entry : fs::directory_iterator(GOLDEN_DIR))
    if (entry.is_directory()) cases.push_back(entry.path());
  std::sort(cases.begin(), cases.end());
  return cases;
}

// Cases whose meaning is tied to a POSIX system (devices), with the reason.
const std::map<std::string, std::string> kWindowsExceptions = {
#include "tests/windows/golden_exceptions.inc"
};

// Every golden case the window can run (the tool says 77 for the others:
// options only vostrelc has): Linux and Windows make the same bytes, and the
// same as vostrelc's expected output.
TEST_F(WindowsDesktop, GoldenCasesThroughTheWindowMatchLinux) {
  int compared = 0;
  for (const fs::path& golden : GoldenCases()) {
    const std::string name = golden.filename().string();
    if (kWindowsExceptions.count(name)) continue;
    const fs::path linuxOut = tmp / ("linux-" + name), windowsOut = tmp / ("windows-" + name);
    fs::create_directories(linuxOut);
    fs::create_directories(windowsOut);
    const ProcessResult linuxRun = RunLinuxTool({"compile", Q(golden), Q(linuxOut)});
    if (linuxRun.status == 77) continue;
    ASSERT_EQ(linuxRun.status, 0) << name << ": " << linuxRun.err;
    const ProcessResult windowsRun = RunWindowsProgram(WINDOWS_DEVTOOL, {"compile", Q(golden), Q(windowsOut)});
    ASSERT_EQ(windowsRun.status, 0) << name << ": " << windowsRun.err;
    EXPECT_EQ(ReadFile(windowsOut / "log.txt"), ReadFile(linuxOut / "log.txt")) << name;
    EXPECT_EQ(fs::exists(windowsOut / "out.nc"), fs::exists(linuxOut / "out.nc")) << name;
    if (fs::exists(linuxOut / "out.nc")) {
      EXPECT_EQ(ReadFile(windowsOut / "out.nc"), ReadFile(linuxOut / "out.nc")) << name;
      if (fs::exists(golden / "expected.nc")) {
        EXPECT_EQ(ReadFile(linuxOut / "out.nc"), ReadFile(golden / "expected.nc")) << name;
      }
    }
    ++compared;
  }
  EXPECT_GE(compared, 20) << "too few golden cases ran through the window";
}

// Text of every page of a PDF file, by pdftotext, without the header's two
// lines (the file name, then the date and time in the system's own format).
QStringList PdfPages(const fs::path& pdf) {
  QProcess process;
  process.start("pdftotext", {"-layout", Q(pdf), "-"});
  process.waitForFinished(60000);
  QStringList pages = QString::fromUtf8(process.readAllStandardOutput()).split(QChar('\f'));
  if (!pages.isEmpty() && pages.last().trimmed().isEmpty()) pages.removeLast();
  for (QString& page : pages) {
    QStringList lines = page.split('\n');
    const qsizetype header = lines.indexOf("PRINT.NC");
    if (header >= 0) lines.remove(header, std::min<qsizetype>(2, lines.size() - header));
    page = lines.join('\n');
  }
  return pages;
}

TEST_F(WindowsDesktop, PrintToPdfGivesTheSamePagesAsLinux) {
  const fs::path golden = fs::path(GOLDEN_DIR) / "text_sjis_remark_every_stage";
  ASSERT_EQ(RunLinuxTool({"print", Q(golden), Q(tmp / "linux.pdf")}).status, 0);
  const ProcessResult windowsRun = RunWindowsProgram(WINDOWS_DEVTOOL, {"print", Q(golden), Q(tmp / "windows.pdf")});
  ASSERT_EQ(windowsRun.status, 0) << windowsRun.err;
  const QStringList linuxPages = PdfPages(tmp / "linux.pdf"), windowsPages = PdfPages(tmp / "windows.pdf");
  ASSERT_FALSE(linuxPages.isEmpty());
  EXPECT_EQ(windowsPages.size(), linuxPages.size());
  for (qsizetype i = 0; i < std::min(linuxPages.size(), windowsPages.size()); ++i)
    EXPECT_EQ(windowsPages[i].simplified(), linuxPages[i].simplified()) << "page " << i + 1;
}

// Japanese text needs a Japanese font of each pitch; the screenshots of
// every window land in the test's folder (VOSTREL_KEEP_SHOTS=DIR keeps
// them for a look).
TEST_F(WindowsDesktop, JapaneseFontsAndScreenshotsOfEveryWindow) {
  const ProcessResult fonts = RunWindowsProgram(WINDOWS_DEVTOOL, {"fonts"});
  ASSERT_EQ(fonts.status, 0) << fonts.err;
  EXPECT_NE(fonts.out.find("proportional: "), std::string::npos) << fonts.out;
  EXPECT_EQ(fonts.out.find("(none)"), std::string::npos) << "a pitch without a Japanese font:\n" << fonts.out;

  const char* keep = std::getenv("VOSTREL_KEEP_SHOTS");
  const fs::path shots = keep ? fs::path(keep) : tmp / "shots";
  fs::create_directories(shots);
  const ProcessResult run = RunWindowsProgram(WINDOWS_DEVTOOL, {"shots", Q(shots)});
  ASSERT_EQ(run.status, 0) << run.err;
  for (const char* shot : {"main_idle.png", "viewer_data.png", "viewer_log.png", "word_list_editor.png"})
    EXPECT_GT(fs::exists(shots / shot) ? fs::file_size(shots / shot) : 0, 2000u) << shot;
}

std::string Registry() { return ReadFile(WinePrefix() / "system.reg"); }

// Presses keys in the window whose title starts with `title`, once it is
// there, one after the other as a user would. False when no such window
// came within a minute.
bool KeysToWindow(const QString& title, const QStringList& keys) {
  QProcess find;
  find.start("xdotool", {"search", "--sync", "--onlyvisible", "--name", "^" + title});
  if (!find.waitForFinished(60000) || find.exitCode() != 0) return false;
  const QString window = QString::fromUtf8(find.readAllStandardOutput()).split('\n').first().trimmed();
  QProcess press;
  press.start("xdotool", QStringList{"windowactivate", "--sync", window, "key", "--clearmodifiers", "--delay", "500"} + keys);
  return press.waitForFinished(30000) && press.exitCode() == 0;
}

TEST_F(WindowsDesktop, InstallerInstallsCompilesAndUninstallsCleanly) {
  if (!fs::exists(WINDOWS_SETUP)) GTEST_SKIP() << WINDOWS_SETUP << " is not built (make windows)";
  if (QProcess::execute("xdotool", {"version"}) != 0) GTEST_SKIP() << "needs xdotool";
  const fs::path drive = WinePrefix() / "drive_c";
  const fs::path program = drive / "Program Files" / "Vostrel";
  const fs::path menu = drive / "ProgramData" / "Microsoft" / "Windows" / "Start Menu" / "Programs" / "Vostrel";

  const ProcessResult install = RunWindowsProgram(WINDOWS_SETUP, {"/S"});
  WaitForWine();
  ASSERT_EQ(install.status, 0) << install.err;
  for (const char* file : {"vostrel.exe", "vostrelc.exe", "ChkData.lst", "vostrel-guide.html", "uninstall.exe",
                           "translations/qtbase_ja.qm"})
    EXPECT_TRUE(fs::exists(program / file)) << file;
  EXPECT_TRUE(fs::exists(menu / "Vostrel.lnk"));
  std::string registry = Registry();
  EXPECT_NE(registry.find("Uninstall\\\\Vostrel]"), std::string::npos);
  EXPECT_NE(registry.find("[Software\\\\Classes\\\\.nc0]"), std::string::npos);

  // The installed program on a source in a folder with Japanese characters
  // and a space: F5 starts the run, Ctrl+S in the viewer saves, Esc closes
  // the viewer and Alt+F4 the program.
  const std::string folderName = "NCデータ 1";
  const fs::path folder = tmp / PathFromUtf8(folderName);
  fs::create_directories(folder);
  const fs::path golden = fs::path(GOLDEN_DIR) / "core_sjis_remark";
  fs::copy_file(golden / "source.nc", folder / "O1000.nc0");
  QProcess window;
  window.start(kWine, {Q(program / "vostrel.exe"),
                       Q(DrivePath(tmp.path()) + "\\") + QString::fromUtf8(folderName.c_str()) + "\\O1000.nc0"});
  ASSERT_TRUE(KeysToWindow("Vostrel", {"F5"})) << "the main window did not show";
  ASSERT_TRUE(KeysToWindow("ログ表示", {"ctrl+s", "Escape"})) << "the viewer did not show";
  ASSERT_TRUE(KeysToWindow("Vostrel", {"alt+F4"}));
  EXPECT_TRUE(window.waitForFinished(60000)) << "the program did not end";
  WaitForWine();
  EXPECT_EQ(ReadFile(folder / "O1000.NC"), ReadFile(golden / "expected.nc"));

  // The user's settings stay; everything installed goes.
  const fs::path settings = drive / "users" / QDir::home().dirName().toStdString() / "AppData" / "Roaming" / "vostrel";
  EXPECT_TRUE(fs::exists(settings / "vostrel.INI")) << "the settings were not written to the user's folder";
  const ProcessResult uninstall = RunWindowsProgram((program / "uninstall.exe").string(), {"/S"});
  WaitForWine();
  ASSERT_EQ(uninstall.status, 0) << uninstall.err;
  EXPECT_FALSE(fs::exists(program)) << "the program folder is left";
  EXPECT_FALSE(fs::exists(menu)) << "the Start menu entry is left";
  registry = Registry();
  EXPECT_EQ(registry.find("Vostrel"), std::string::npos) << "registry entries are left";
  EXPECT_TRUE(fs::exists(settings / "vostrel.INI")) << "the user's settings were removed";
}

}  // namespace
}  // namespace vostrel::test
