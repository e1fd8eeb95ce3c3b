// vostrelc -d OUTDIR SOURCE...: the same files and logs whatever -j is, the
// summary and exit status of a mixed batch, and Ctrl-C in a batch.

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <csignal>
#include <filesystem>
#include <sys/stat.h>
#include <string>
#include <vector>

#include "tests/test_support.h"
#include "tests/vostrelc_process.h"

namespace vostrel::test {
namespace {

namespace fs = std::filesystem;

const std::string kWordList = std::string(GOLDEN_DIR) + "/../../data/ChkData.lst";

struct Result {
  int status = -1;
  std::string errors;  // standard error
};

Result Vostrelc(const std::vector<std::string>& args) {
  QStringList list{"--ini", "/dev/null", "--word-list", QString::fromStdString(kWordList)};
  for (const auto& arg : args) list << QString::fromStdString(arg);
  QProcess process;
  process.start(VOSTRELC_PATH, list);
  EXPECT_TRUE(process.waitForFinished(120000)) << "vostrelc did not finish";
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  return {process.exitCode(), process.readAllStandardError().toStdString()};
}

// A program of `lines` blocks that uses the shared definitions, a local
// one, hexadecimal constants and a branch (every option has work to do).
std::string Program(int number, int lines, const fs::path& include) {
  std::string text = "%\r\nO" + std::to_string(1000 + number) + "\r\n#INCLUDE " + include.string() +
                     "\r\n$STEP " + std::to_string(number) + ".5\r\n";
  for (int i = 0; i < lines; ++i) {
    text += "N" + std::to_string(i) + " g01 x[STEP*" + std::to_string(i % 97) + "] yPITCH f0x" +
            std::to_string(10 + i % 80) + " ; cut\r\n";
    if (i % 50 == 0) text += "IF[#101 GT 0X10]GOTO" + std::to_string(i) + "\r\n#102=#101+STEP\r\n";
  }
  return text + "M30\r\n%\r\n";
}

std::vector<std::string> Names(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(Batch, SameFilesAndLogsWhateverTheNumberOfJobs) {
  TempDir tmp;
  WriteFile(tmp / "COMMON.DEF", "$PITCH 1.25\r\n$FAST 0X2A ; rapid\r\n");
  std::vector<std::string> sources;
  for (int n = 0; n < 8; ++n) {
    const fs::path source = tmp / ("P" + std::to_string(n) + ".nc0");
    WriteFile(source, Program(n, 300 + 700 * n, tmp / "COMMON.DEF"));
    sources.push_back(source.string());
  }
  fs::create_directory(tmp / "one");
  fs::create_directory(tmp / "four");
  std::vector<std::string> options{"--set", "EndChar=Y", "--set", "chg16_10=Y", "--set", "Chg_MacroA=Y"};
  auto batch = [&](const std::string& jobs, const fs::path& dir) {
    std::vector<std::string> args = options;
    args.insert(args.end(), {"-j", jobs, "-d", dir.string()});
    args.insert(args.end(), sources.begin(), sources.end());
    return Vostrelc(args);
  };
  const Result one = batch("1", tmp / "one"), four = batch("4", tmp / "four");
  ASSERT_EQ(one.status, 0) << one.errors;
  ASSERT_EQ(four.status, 0) << four.errors;
  EXPECT_TRUE(one.errors == four.errors) << "the logs differ between -j 1 and -j 4";
  EXPECT_NE(one.errors.find("vostrelc: 8 compiled, 0 stopped by an input error, 0 failed"), std::string::npos)
      << one.errors;
  ASSERT_EQ(Names(tmp / "one").size(), 8u);
  ASSERT_EQ(Names(tmp / "one"), Names(tmp / "four"));
  for (const auto& name : Names(tmp / "one"))
    EXPECT_TRUE(ReadFile(tmp / "one" / name) == ReadFile(tmp / "four" / name)) << name;

  // Each file is what a run of its own makes of its source.
  std::vector<std::string> args = options;
  args.insert(args.end(), {"-q", "-o", (tmp / "single.NC").string(), sources[7]});
  ASSERT_EQ(Vostrelc(args).status, 0);
  EXPECT_TRUE(ReadFile(tmp / "single.NC") == ReadFile(tmp / "four" / "P7.NC"));
}

// The summary counts each kind of end, and the exit status is the worst.
TEST(Batch, SummaryAndWorstExitStatus) {
  TempDir tmp;
  WriteFile(tmp / "good.nc", "G00 X1.\r\n");
  WriteFile(tmp / "good2.nc", "G01 Y2.\r\n");
  WriteFile(tmp / "stopped.nc", "#INCLUDE " + (tmp / "NONE.DEF").string() + "\r\nG00\r\n");
  fs::create_directory(tmp / "a");
  WriteFile(tmp / "a" / "good.nc0", "G00\r\n");
  struct Case {
    std::vector<std::string> sources;
    int status;
    std::string summary;  // a line standard error must hold
    std::vector<std::string> outputs;
    std::vector<std::string> options = {};
  };
  const std::string missing = (tmp / "missing.nc").string();
  const Case cases[] = {
      {{"good.nc", "good2.nc"}, 0, "vostrelc: 2 compiled, 0 stopped by an input error, 0 failed", {"good.NC", "good2.NC"}},
      {{"good.nc", "stopped.nc"}, 1, "vostrelc: 1 compiled, 1 stopped by an input error, 0 failed", {"good.NC"}},
      {{"good.nc", "stopped.nc", missing, "good2.nc"}, 2,
       "vostrelc: 2 compiled, 1 stopped by an input error, 1 failed", {"good.NC", "good2.NC"}},
      // Two sources of one name would write one file: nothing is compiled.
      {{"good.nc", "a/good.nc0"}, 2, "would both be compiled into good.NC", {}},
      // The log may not be one of the outputs: nothing is compiled.
      {{"good.nc", "good2.nc"}, 2,
       "the log and the output of " + (tmp / "good2.nc").string() + " name the same file; nothing was done", {},
       {"--log", (tmp / "out" / "good2.NC").string()}},
      // A log that cannot be written is counted.
      {{"good.nc"}, 2, "vostrelc: 1 compiled, 0 stopped by an input error, 1 failed", {"good.NC"},
       {"--log", "/dev/full"}},
  };
  for (const Case& c : cases) {
    const fs::path out = tmp / "out";
    fs::remove_all(out);
    fs::create_directory(out);
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {"-j", "2", "-d", out.string()});
    for (const auto& source : c.sources) args.push_back(source == missing ? source : (tmp / source).string());
    const Result r = Vostrelc(args);
    EXPECT_EQ(r.status, c.status) << r.errors;
    EXPECT_NE(r.errors.find(c.summary), std::string::npos) << r.errors;
    EXPECT_EQ(Names(out), c.outputs) << c.summary;
  }
}

// More saves at once than the table of named temporary files holds (a file
// system without unnamed ones, slow writes so that they overlap): a save
// waits for a place, none fails.
TEST(Batch, EveryJobSavesWithNamedTempFiles) {
  TempDir tmp;
  const fs::path shim = tmp / "no_tmpfile_shim.so";  // no spaces in the preload path
  fs::copy_file(NO_TMPFILE_SHIM, shim);
  constexpr int kSources = 80;
  QStringList args{"--ini", "/dev/null", "--word-list", QString::fromStdString(kWordList), "-q", "-j",
                   QString::number(kSources), "-d", QString::fromStdString((tmp / "out").string())};
  fs::create_directory(tmp / "out");
  for (int n = 0; n < kSources; ++n) {
    const fs::path source = tmp / ("P" + std::to_string(n) + ".nc");
    WriteFile(source, "G00 X" + std::to_string(n) + "\r\n");
    args << QString::fromStdString(source.string());
  }
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("LD_PRELOAD", QString::fromStdString(shim.string()));
  env.insert("VOSTREL_SHIM_SLOW_WRITE", "1");
  process.setProcessEnvironment(env);
  process.start(VOSTRELC_PATH, args);
  ASSERT_TRUE(process.waitForFinished(120000));
  const std::string errors = process.readAllStandardError().toStdString();
  EXPECT_EQ(process.exitCode(), 0) << errors;
  EXPECT_NE(errors.find("vostrelc: 80 compiled, 0 stopped by an input error, 0 failed"), std::string::npos) << errors;
  ASSERT_EQ(Names(tmp / "out").size(), static_cast<std::size_t>(kSources));
  EXPECT_EQ(ReadFile(tmp / "out" / "P79.NC"), "G00X79\r\n");
}

// Ctrl-C in a batch: the source under way stops as a single run would, no
// new one starts, finished files stay complete, and the status is 130.
TEST(Batch, InterruptStartsNoNewSource) {
  TempDir tmp;
  WriteFile(tmp / "COMMON.DEF", "$PITCH 1.25\r\n");
  const std::string program = Program(1, 150000, tmp / "COMMON.DEF");
  std::vector<std::string> sources;
  for (int n = 0; n < 6; ++n) {
    sources.push_back((tmp / ("P" + std::to_string(n) + ".nc")).string());
    WriteFile(sources.back(), program);
  }
  fs::create_directory(tmp / "out");
  QStringList args{"--ini", "/dev/null", "--word-list", QString::fromStdString(kWordList), "-j", "1",
                   "-d", QString::fromStdString((tmp / "out").string())};
  for (const auto& source : sources) args << QString::fromStdString(source);
  QProcess process;
  process.start(VOSTRELC_PATH, args);
  ASSERT_TRUE(process.waitForStarted());
  // The first source's log comes out whole when it is done: interrupt then.
  std::string log;
  ASSERT_TRUE(SignalWhenLogShows(process, "--- ｺﾝﾊﾟｲﾙ 完了 ---", SIGINT, log)) << "the batch ended before the interrupt";
  ASSERT_TRUE(process.waitForFinished(120000));
  log += process.readAllStandardError().toStdString();
  ASSERT_EQ(process.exitStatus(), QProcess::NormalExit) << log;
  EXPECT_EQ(process.exitCode(), 130) << log;
  EXPECT_NE(log.find("not compiled (interrupted)"), std::string::npos) << log;

  const std::vector<std::string> outputs = Names(tmp / "out");
  ASSERT_FALSE(outputs.empty());
  EXPECT_LT(outputs.size(), 4u) << "sources went on starting after the interrupt";
  ASSERT_EQ(Vostrelc({"-q", "-o", (tmp / "reference.NC").string(), sources[0]}).status, 0);
  const std::string reference = ReadFile(tmp / "reference.NC");
  for (const auto& name : outputs) EXPECT_TRUE(ReadFile(tmp / "out" / name) == reference) << name;
}

// A source that is a pipe nobody writes to: the batch waits for it, and the
// first Ctrl-C ends the wait (the source counts as interrupted).
TEST(Batch, InterruptEndsTheWaitForAPipe) {
  TempDir tmp;
  WriteFile(tmp / "good.nc", "G00\r\n");
  ASSERT_EQ(mkfifo((tmp / "pipe.nc").c_str(), 0600), 0);
  fs::create_directory(tmp / "out");
  QProcess process;
  process.start(VOSTRELC_PATH, {"--ini", "/dev/null", "--word-list", QString::fromStdString(kWordList), "-q", "-j",
                                "1", "-d", QString::fromStdString((tmp / "out").string()),
                                QString::fromStdString((tmp / "pipe.nc").string()),
                                QString::fromStdString((tmp / "good.nc").string())});
  ASSERT_TRUE(process.waitForStarted());
  EXPECT_FALSE(process.waitForFinished(500)) << "the batch did not wait for the pipe";
  ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), SIGINT), 0);
  const bool ended = process.waitForFinished(10000);
  if (!ended) process.kill();
  ASSERT_TRUE(ended) << "the first Ctrl-C did not end the wait";
  const std::string errors = process.readAllStandardError().toStdString();
  EXPECT_EQ(process.exitCode(), 130) << errors;
  EXPECT_NE(errors.find("0 compiled, 0 stopped by an input error, 0 failed, 2 not compiled (interrupted)"),
            std::string::npos)
      << errors;
  EXPECT_TRUE(Names(tmp / "out").empty());
}

}  // namespace
}  // namespace vostrel::test
