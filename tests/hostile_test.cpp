// Hostile and broken input through vostrelc, where the input has to be made
// at run time: a 50 MB line, random bytes, a 100 MB include file, pipes,
// files the user may not read or write, a full disk, and Ctrl-C.
//
// In every case the run must end cleanly with a clear message, and an
// existing output file must come through byte for byte unless a complete
// new one replaces it.

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>
#include <chrono>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/test_support.h"
#include "tests/vostrelc_process.h"

namespace vostrel::test {
namespace {

namespace fs = std::filesystem;

const std::string kWordList = std::string(GOLDEN_DIR) + "/../../data/ChkData.lst";

struct Outcome {
  bool crashed = false;  // ended by a signal (or did not end at all)
  int status = -1;
  std::string errors;    // standard error
};

QStringList ToArgs(const std::vector<std::string>& args) {
  QStringList list;
  for (const auto& arg : args) list << QString::fromStdString(arg);
  return list;
}

// Runs `program` with `args`; a run that does not end within the limit is
// killed and counts as crashed.
Outcome RunProgram(const QString& program, const QStringList& args, QProcess* process = nullptr) {
  QProcess local;
  QProcess& p = process ? *process : local;
  p.start(program, args);
  Outcome outcome;
  if (!p.waitForFinished(120000)) {
    p.kill();
    p.waitForFinished();
    outcome.crashed = true;
    outcome.errors = "did not finish in two minutes";
    return outcome;
  }
  outcome.crashed = p.exitStatus() != QProcess::NormalExit;
  outcome.status = p.exitCode();
  outcome.errors = p.readAllStandardError().toStdString();
  return outcome;
}

Outcome Vostrelc(const std::vector<std::string>& args, QProcess* process = nullptr) {
  return RunProgram(VOSTRELC_PATH, ToArgs(args), process);
}

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
  return out << "status " << o.status << (o.crashed ? " (crashed)" : "") << ", standard error:\n"
             << o.errors;
}

// vostrelc as a user whom file modes bind. Root ignores them, so root hands
// the run to "nobody" (uid 65534) through setpriv or runuser; another user
// runs it directly. That user may not be able to enter the checkout (a clone
// in root's own 0700 home), so the runs use their own copies of vostrelc and
// of the word list in a temporary folder open to everyone, and the probe does
// what the tests do: read a source and the word list, write an output.
constexpr uid_t kNobody = 65534;

// A folder that the unprivileged user owns (when root runs the tests).
void GiveToNobody(const fs::path& path) {
  if (geteuid() == 0) {
    ASSERT_EQ(chown(path.c_str(), kNobody, static_cast<gid_t>(-1)), 0) << path;
  }
}

class Unprivileged {
 public:
  Unprivileged() {
    constexpr auto kOpen = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                           fs::perms::others_read | fs::perms::others_exec;
    const fs::path program = copies_ / "vostrelc";
    std::error_code ec;
    fs::permissions(copies_.path(), kOpen, ec);
    fs::copy_file(VOSTRELC_PATH, program, ec);
    if (!ec) fs::copy_file(kWordList, wordList_, ec);
    if (!ec) fs::permissions(program, kOpen, ec);
    if (ec) {
      why_ = "cannot copy vostrelc and the word list to " + copies_.path().string() + ": " + ec.message();
      return;
    }
    program_ = QString::fromStdString(program.string());

    const fs::path probe = copies_ / "probe";
    fs::create_directory(probe);
    WriteFile(probe / "src.nc", "G00 X0\r\n");
    if (geteuid() == 0 && chown(probe.c_str(), kNobody, static_cast<gid_t>(-1)) != 0) {
      why_ = "cannot give " + probe.string() + " to nobody";
      return;
    }
    const std::vector<QStringList> candidates =
        geteuid() != 0 ? std::vector<QStringList>{{}}
                       : std::vector<QStringList>{{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"},
                                                  {"runuser", "-u", "nobody", "--"}};
    for (const QStringList& prefix : candidates) {
      prefix_ = prefix;
      const Outcome o = Run({"-q", "-o", (probe / "out.nc").string(), (probe / "src.nc").string()});
      if (!o.crashed && o.status == 0 && ReadFile(probe / "out.nc") == "G00X0\r\n") {
        why_.clear();
        return;
      }
      why_ = "vostrelc cannot compile a source with the word list in " + copies_.path().string() +
             (geteuid() == 0 ? " as nobody through setpriv or runuser (file modes would not apply)" : "") +
             ": " + o.errors;
    }
  }

  // Empty when the runs can be made; else why not.
  const std::string& why() const { return why_; }
  const std::string& wordList() const { return wordList_; }

  // Without a settings file, so that nothing outside the copies is read.
  Outcome Run(const std::vector<std::string>& args) const {
    const QStringList all = QStringList{"--ini", "/dev/null"} + ToArgs(args);
    if (prefix_.isEmpty()) return RunProgram(program_, all);
    return RunProgram(prefix_.front(), prefix_.mid(1) + QStringList{program_} + all);
  }

 private:
  TempDir copies_;
  std::string wordList_ = (copies_ / "ChkData.lst").string();
  QString program_;
  QStringList prefix_;
  std::string why_;
};

std::size_t FilesIn(const fs::path& dir) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

// ---- a single 50 MB line ------------------------------------------------

// "G01 X0x00001234 Y1.5 " over and over with a different constant each
// time; every constant has eight digits, so none is the start of another.
// Upper-cased and without spaces it compiles to one line; with the
// hexadecimal conversion each constant becomes its value.
struct LongLine {
  std::string source, plain, converted;
};

const LongLine& GeneratedLongLine() {
  static const LongLine line = [] {
    LongLine l;
    constexpr std::size_t kSize = 50u << 20;
    l.source.reserve(kSize + 64);
    l.plain.reserve(kSize);
    l.converted.reserve(kSize);
    char digits[16];
    for (std::uint32_t k = 0; l.source.size() < kSize; ++k) {
      std::snprintf(digits, sizeof digits, "%08u", (k * 7919u) % 100000000u);
      l.source.append("G01 X0x").append(digits).append(" Y1.5 ");
      l.plain.append("G01X0X").append(digits).append("Y1.5");
      // The digits read as a 32-bit hexadecimal bit pattern, signed.
      const auto value = static_cast<std::int32_t>(static_cast<std::uint32_t>(std::stoul(digits, nullptr, 16)));
      l.converted.append("G01X").append(std::to_string(value)).append("Y1.5");
    }
    l.plain += "\r\n";
    l.converted += "\r\n";
    return l;
  }();
  return line;
}

struct OptionCase {
  const char* name;
  std::vector<std::string> options;
  bool hexadecimal;
};

void PrintTo(const OptionCase& c, std::ostream* out) { *out << c.name; }

class FiftyMegabyteLine : public ::testing::TestWithParam<OptionCase> {};

TEST_P(FiftyMegabyteLine, CompilesToOneLine) {
  const LongLine& line = GeneratedLongLine();
  TempDir tmp;
  WriteFile(tmp / "long.nc", line.source);
  std::vector<std::string> args{"-q", "--word-list", kWordList, "-o", (tmp / "out.nc").string()};
  args.insert(args.end(), GetParam().options.begin(), GetParam().options.end());
  args.push_back((tmp / "long.nc").string());
  const Outcome o = Vostrelc(args);
  ASSERT_FALSE(o.crashed) << o;
  ASSERT_EQ(o.status, 0) << o;
  const std::string out = ReadFile(tmp / "out.nc");
  EXPECT_EQ(out.size(), (GetParam().hexadecimal ? line.converted : line.plain).size());
  EXPECT_TRUE(out == (GetParam().hexadecimal ? line.converted : line.plain))
      << "the compiled line differs";
}

INSTANTIATE_TEST_SUITE_P(
    Options, FiftyMegabyteLine,
    ::testing::Values(
        OptionCase{"NoOption", {}, false},
        OptionCase{"EndChar", {"--set", "EndChar=Y"}, false},
        OptionCase{"Hexadecimal", {"--set", "chg16_10=Y"}, true},
        OptionCase{"EveryOption",
                   {"--set", "EndChar=Y", "--set", "chg16_10=Y", "--set", "Chg_MacroA=Y", "--set",
                    "End_set=Y"},
                   true}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- random bytes -------------------------------------------------------

TEST(HostileSource, RandomBytesThroughEveryOption) {
  TempDir tmp;
  std::mt19937 random(7);
  std::string bytes(2u << 20, '\0');
  for (char& c : bytes) c = static_cast<char>(random() % 255 + 1);  // no NUL: the whole file loads
  WriteFile(tmp / "random.nc", bytes);
  const Outcome o = Vostrelc({"-q", "--word-list", kWordList, "--set", "EndChar=Y", "--set",
                              "chg16_10=Y", "--set", "Chg_MacroA=Y", "-o", (tmp / "out.nc").string(),
                              (tmp / "random.nc").string()});
  ASSERT_FALSE(o.crashed) << o;
  // Either it compiles, or an input error (a bad hexadecimal constant, a
  // missing include file) stops it with a message and writes nothing.
  if (o.status == 0) {
    EXPECT_TRUE(fs::exists(tmp / "out.nc"));
  } else {
    EXPECT_EQ(o.status, 1) << o;
    EXPECT_NE(o.errors.find("コンパイルを中止します。"), std::string::npos) << o;
    EXPECT_FALSE(fs::exists(tmp / "out.nc"));
  }
}

// ---- many definitions ---------------------------------------------------

// Peak resident memory (bytes) and exit status of one vostrelc run.
struct PeakRun {
  int status = -1;
  long long peakBytes = 0;
};

PeakRun VostrelcPeakMemory(const std::vector<std::string>& args) {
  std::string program = VOSTRELC_PATH;
  std::vector<std::string> owned = args;
  std::vector<char*> argv{program.data()};
  for (std::string& arg : owned) argv.push_back(arg.data());
  argv.push_back(nullptr);
  PeakRun run;
  const pid_t pid = fork();
  if (pid == 0) {
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return run;
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.peakBytes = static_cast<long long>(usage.ru_maxrss) * 1024;  // kilobytes on Linux
  return run;
}

// 60,000 names, each used once in 60 lines: eight kanji (16 bytes, as in a
// shop's Japanese names) or sixteen letters. Memory for the definitions must
// follow the text and the table, not the bytes the names are made of.
TEST(HostileDefinitions, ManyLongNamesCostMemoryInProportion) {
  for (const bool kanji : {true, false}) {
    TempDir tmp;
    std::mt19937 random(13);
    std::unordered_set<std::string> names;
    std::vector<std::string> order;
    while (order.size() < 60000) {
      std::string name;
      for (int i = 0; i < 8; ++i) {
        if (kanji) {
          const int trail = 0x40 + static_cast<int>(random() % 188);  // 0x40-0x7E, 0x80-0xFC
          name += static_cast<char>(0x89 + random() % 15);
          name += static_cast<char>(trail < 0x7F ? trail : trail + 1);
        } else {
          name += static_cast<char>('A' + random() % 26);
          name += static_cast<char>('A' + random() % 26);
        }
      }
      if (names.insert(name).second) order.push_back(name);
    }
    std::string source = "%\r\nO1000\r\n";
    for (std::size_t i = 0; i < order.size(); ++i)
      source += "$" + order[i] + " #" + std::to_string(100 + i % 900) + ".0000\r\n";
    for (std::size_t i = 0; i < order.size(); i += 60) source += "G01X" + order[i] + "Y1.0\r\n";
    source += "M30\r\n%\r\n";
    WriteFile(tmp / "src.nc", source);

    const PeakRun run = VostrelcPeakMemory({"-q", "--ini", "/dev/null", "--word-list", kWordList, "-o",
                                            (tmp / "out.nc").string(), (tmp / "src.nc").string()});
    EXPECT_EQ(run.status, 0) << (kanji ? "kanji" : "letters");
    const long long limit = 4 * static_cast<long long>(source.size()) + (50LL << 20);
    EXPECT_LE(run.peakBytes, limit) << (kanji ? "kanji" : "letters") << ": " << source.size()
                                    << " bytes of source";
  }
}

// ---- include files ------------------------------------------------------

TEST(HostileInclude, HundredMegabyteFileIsReadToItsEnd) {
  TempDir tmp;
  {
    std::string text;
    const std::string line = "G01 X12.5 Y-3.25 F200 ; an NC program included by mistake\r\n";
    text.reserve((100u << 20) + 64);
    while (text.size() < (100u << 20)) text += line;
    text += "$BIG 42\r\n";  // found only when the whole file is read
    WriteFile(tmp / "HUGE.DEF", text);
  }
  WriteFile(tmp / "src.nc", "%\r\n#INCLUDE " + (tmp / "HUGE.DEF").string() + "\r\nG00 XBIG\r\n%\r\n");
  const Outcome o = Vostrelc({"-q", "--word-list", kWordList, "-o", (tmp / "out.nc").string(),
                              (tmp / "src.nc").string()});
  ASSERT_FALSE(o.crashed) << o;
  EXPECT_EQ(o.status, 0) << o;
  EXPECT_EQ(ReadFile(tmp / "out.nc"), "%\r\nG00X42\r\n%\r\n");
}

TEST(HostileInclude, NamedPipeIsRefusedWithoutWaiting) {
  TempDir tmp;
  const fs::path pipe = tmp / "PIPE.DEF";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);  // nobody ever writes to it
  WriteFile(tmp / "src.nc", "%\r\n#INCLUDE " + pipe.string() + "\r\nG00 X0\r\n%\r\n");
  const Outcome o = Vostrelc({"-q", "--word-list", kWordList, "-o", (tmp / "out.nc").string(),
                              (tmp / "src.nc").string()});
  ASSERT_FALSE(o.crashed) << o;
  EXPECT_EQ(o.status, 1) << o;
  EXPECT_NE(o.errors.find(pipe.string() + " が見つかりません。"), std::string::npos) << o;
  EXPECT_FALSE(fs::exists(tmp / "out.nc"));
}

TEST(HostileWordList, NamedPipeIsRefusedWithoutWaiting) {
  TempDir tmp;
  const fs::path pipe = tmp / "ChkData.lst";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
  WriteFile(tmp / "src.nc", "%\r\nG00 X0\r\n%\r\n");
  const Outcome o = Vostrelc({"-q", "--word-list", pipe.string(), "-o", (tmp / "out.nc").string(),
                              (tmp / "src.nc").string()});
  ASSERT_FALSE(o.crashed) << o;
  EXPECT_EQ(o.status, 1) << o;
  EXPECT_NE(o.errors.find(pipe.string() + " が読み込めません。"), std::string::npos) << o;
  EXPECT_FALSE(fs::exists(tmp / "out.nc"));
}

TEST(HostileInclude, UnreadableFileStopsTheRun) {
  const Unprivileged nobody;
  if (!nobody.why().empty()) GTEST_SKIP() << nobody.why();
  TempDir tmp;
  WriteFile(tmp / "SECRET.DEF", "$X 1\r\n");
  fs::permissions(tmp / "SECRET.DEF", fs::perms::none);
  WriteFile(tmp / "src.nc", "%\r\n#INCLUDE " + (tmp / "SECRET.DEF").string() + "\r\nG00 X0\r\n%\r\n");
  fs::create_directory(tmp / "out");
  GiveToNobody(tmp / "out");
  const Outcome o = nobody.Run(
      {"-q", "--word-list", nobody.wordList(), "-o", (tmp / "out" / "out.nc").string(), (tmp / "src.nc").string()});
  ASSERT_FALSE(o.crashed) << o;
  EXPECT_EQ(o.status, 1) << o;
  EXPECT_NE(o.errors.find("SECRET.DEF が見つかりません。"), std::string::npos) << o;
  EXPECT_FALSE(fs::exists(tmp / "out" / "out.nc"));
}

TEST(HostileSource, UnreadableSourceIsAFileError) {
  const Unprivileged nobody;
  if (!nobody.why().empty()) GTEST_SKIP() << nobody.why();
  TempDir tmp;
  WriteFile(tmp / "src.nc", "G00 X0\r\n");
  fs::permissions(tmp / "src.nc", fs::perms::none);
  fs::create_directory(tmp / "out");
  GiveToNobody(tmp / "out");
  const Outcome o = nobody.Run({"-q", "-o", (tmp / "out" / "out.nc").string(), (tmp / "src.nc").string()});
  ASSERT_FALSE(o.crashed) << o;
  EXPECT_EQ(o.status, 2) << o;
  EXPECT_NE(o.errors.find("src.nc: cannot read the source"), std::string::npos) << o;
  EXPECT_FALSE(fs::exists(tmp / "out" / "out.nc"));
}

// ---- the output file ----------------------------------------------------

constexpr const char* kOld = "%\r\nO9999 (THE OLD PROGRAM)\r\n%\r\n";

TEST(HostileOutput, ReadOnlyFolderKeepsTheOldFile) {
  const Unprivileged nobody;
  if (!nobody.why().empty()) GTEST_SKIP() << nobody.why();
  TempDir tmp;
  WriteFile(tmp / "src.nc", "G00 X0\r\n");
  const fs::path folder = tmp / "readonly", target = folder / "OUT.NC";
  fs::create_directory(folder);
  WriteFile(target, kOld);
  GiveToNobody(folder);
  GiveToNobody(target);
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
  fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                              fs::perms::others_exec);
  const Outcome o = nobody.Run({"-q", "--word-list", nobody.wordList(), "--force", "-o", target.string(),
                                (tmp / "src.nc").string()});
  fs::permissions(folder, fs::perms::owner_all);
  ASSERT_FALSE(o.crashed) << o;
  EXPECT_EQ(o.status, 2) << o;
  EXPECT_NE(o.errors.find(target.string() + ": cannot write the output"), std::string::npos) << o;
  EXPECT_EQ(ReadFile(target), kOld);
  EXPECT_EQ(FilesIn(folder), 1u) << "no temporary file is left behind";
}

TEST(HostileOutput, WriteProtectedFileIsNotReplaced) {
  const Unprivileged nobody;
  if (!nobody.why().empty()) GTEST_SKIP() << nobody.why();
  TempDir tmp;
  WriteFile(tmp / "src.nc", "G00 X0\r\n");
  const fs::path folder = tmp / "out", target = folder / "OUT.NC";
  fs::create_directory(folder);
  WriteFile(target, kOld);
  GiveToNobody(folder);
  GiveToNobody(target);
  fs::permissions(target, fs::perms::owner_read | fs::perms::others_read);
  const Outcome o = nobody.Run({"-q", "--word-list", nobody.wordList(), "--force", "-o", target.string(),
                                (tmp / "src.nc").string()});
  ASSERT_FALSE(o.crashed) << o;
  EXPECT_EQ(o.status, 2) << o;
  EXPECT_NE(o.errors.find(target.string() + ": cannot write the output"), std::string::npos) << o;
  EXPECT_EQ(ReadFile(target), kOld);
  EXPECT_EQ(FilesIn(folder), 1u);
}

// A full disk: the file size limit makes every write past 32 KiB fail (with
// SIGXFSZ ignored, as a write error), which is what a full disk does.
TEST(HostileOutput, FullDiskKeepsTheOldFile) {
  if (!fs::exists("/bin/sh")) GTEST_SKIP() << "no /bin/sh to set a file size limit";
  TempDir tmp;
  std::string source;
  for (int i = 0; i < 20000; ++i) source += "G01 X" + std::to_string(i) + ".5 Y-3.25 F200\r\n";
  WriteFile(tmp / "src.nc", source);
  const fs::path target = tmp / "out" / "OUT.NC";
  fs::create_directory(tmp / "out");
  WriteFile(target, kOld);
  const std::string command = "trap '' XFSZ; ulimit -f 64 && exec \"$0\" \"$@\"";
  const Outcome o = RunProgram("/bin/sh", {"-c", QString::fromStdString(command), VOSTRELC_PATH, "-q",
                                           "--word-list", QString::fromStdString(kWordList), "--force",
                                           "-o", QString::fromStdString(target.string()),
                                           QString::fromStdString((tmp / "src.nc").string())});
  ASSERT_FALSE(o.crashed) << o;
  EXPECT_EQ(o.status, 2) << o;
  EXPECT_NE(o.errors.find(target.string() + ": cannot write the output: File too large"),
            std::string::npos)
      << o;
  EXPECT_EQ(ReadFile(target), kOld);
  EXPECT_EQ(FilesIn(tmp / "out"), 1u) << "no temporary file is left behind";
}

TEST(HostileOutput, FullDeviceOnStandardOutput) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  TempDir tmp;
  WriteFile(tmp / "src.nc", "G00 X0\r\nM30\r\n");
  QProcess process;
  process.setStandardOutputFile("/dev/full");
  const Outcome o = Vostrelc({"-q", "--word-list", kWordList, "--stdout", (tmp / "src.nc").string()}, &process);
  ASSERT_FALSE(o.crashed) << o;
  EXPECT_EQ(o.status, 2) << o;
  EXPECT_NE(o.errors.find("cannot write to standard output: No space left on device"), std::string::npos) << o;
}

TEST(HostileOutput, LogThatCannotBeWrittenIsAnError) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  TempDir tmp;
  WriteFile(tmp / "src.nc", "G00 X0\r\nM30\r\n");
  const Outcome o = Vostrelc({"--log", "/dev/full", "--word-list", kWordList, "-o",
                              (tmp / "out.nc").string(), (tmp / "src.nc").string()});
  ASSERT_FALSE(o.crashed) << o;
  EXPECT_EQ(o.status, 2) << o;
  EXPECT_NE(o.errors.find("/dev/full: cannot write the log: No space left on device"), std::string::npos) << o;
  EXPECT_FALSE(fs::exists(tmp / "out.nc"));
}

TEST(HostileOutput, PipeOrFolderIsNeverReplaced) {
  TempDir tmp;
  WriteFile(tmp / "src.nc", "G00 X0\r\n");
  const fs::path pipe = tmp / "PIPE.NC", folder = tmp / "FOLDER.NC";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
  fs::create_directory(folder);
  struct Case { fs::path target; const char* reason; };
  for (const Case& c : {Case{pipe, "it is not a regular file"}, Case{folder, "it is a folder"}}) {
    const Outcome o = Vostrelc({"-q", "--word-list", kWordList, "--force", "-o", c.target.string(),
                                (tmp / "src.nc").string()});
    ASSERT_FALSE(o.crashed) << o;
    EXPECT_EQ(o.status, 2) << o;
    EXPECT_NE(o.errors.find(c.target.string() + ": cannot write the output: " + c.reason), std::string::npos)
        << o;
  }
  EXPECT_EQ(fs::status(pipe).type(), fs::file_type::fifo);
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_EQ(FilesIn(tmp.path()), 3u);
}

// ---- Ctrl-C -------------------------------------------------------------

// A real SIGINT while a large program compiles: either the run is
// cancelled (status 130, the old output untouched) or it had finished
// already (status 0, the complete output) — never a partial file.
TEST(Interrupt, SigintDuringARun) {
  TempDir tmp;
  std::string source = "%\r\nO1000\r\n$FEED 200\r\n$AB 12.5\r\n";
  for (int i = 0; i < 600000; ++i)
    source += "N" + std::to_string(i) + " G01 X" + std::to_string(i % 500) + ".5 YAB FFEED ; cut\r\n";
  source += "M30\r\n%\r\n";
  WriteFile(tmp / "big.nc", source);
  const fs::path target = tmp / "OUT.NC";
  WriteFile(target, kOld);
  const QStringList args{"--word-list", QString::fromStdString(kWordList), "--force", "-o",
                         QString::fromStdString(target.string()),
                         QString::fromStdString((tmp / "big.nc").string())};

  QProcess process;
  process.start(VOSTRELC_PATH, args);
  ASSERT_TRUE(process.waitForStarted());
  // The log goes to standard error; interrupt once the comment removal has
  // started, with most of the run still to come.
  std::string log;
  SignalWhenLogShows(process, "ｺﾒﾝﾄ削除 -- 開始", SIGINT, log);  // a run that ended first is checked below
  ASSERT_TRUE(process.waitForFinished(120000));
  log += process.readAllStandardError().toStdString();
  ASSERT_EQ(process.exitStatus(), QProcess::NormalExit) << "vostrelc died of the signal:\n" << log;

  if (process.exitCode() == 130) {
    EXPECT_NE(log.find("\n -- 中止 --\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("--- ｺﾝﾊﾟｲﾙ 完了 ---"), std::string::npos);
    EXPECT_EQ(ReadFile(target), kOld);
  } else {
    ASSERT_EQ(process.exitCode(), 0) << log;
    const fs::path reference = tmp / "REFERENCE.NC";
    const Outcome o = Vostrelc({"-q", "--word-list", kWordList, "-o", reference.string(),
                                (tmp / "big.nc").string()});
    ASSERT_EQ(o.status, 0) << o;
    EXPECT_TRUE(ReadFile(target) == ReadFile(reference)) << "the output is not the complete program";
  }
  EXPECT_EQ(FilesIn(tmp.path()), 2u + (process.exitCode() == 0 ? 1u : 0u)) << "no temporary file is left behind";
}

// ---- the files a run reads are never its victims ------------------------

// Every file of a folder with its bytes.
std::map<std::string, std::string> Snapshot(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(dir))
    files[entry.path().filename().string()] = fs::is_regular_file(entry.path()) ? ReadFile(entry.path()) : "";
  return files;
}

TEST(HostileFiles, OutputOrLogNamingAnInputOrEachOtherIsRefused) {
  TempDir tmp;
  const std::string src = (tmp / "X.nc").string(), out = (tmp / "OUT.NC").string(),
                    log = (tmp / "run.log").string(), words = (tmp / "ChkData.lst").string();
  WriteFile(tmp / "X.nc", "G00 X0\r\n");
  WriteFile(tmp / "run.log", "the old log\n");
  WriteFile(tmp / "ChkData.lst", "G00\r\nX\r\n");
  // The settings file and word list read by default with --exe-dir.
  WriteFile(tmp / "vostrel.INI", "[Options]\r\nEndChar=Y\r\n");
  fs::create_hard_link(tmp / "X.nc", tmp / "HARD.nc");
  fs::create_symlink("X.nc", tmp / "SOFT.nc");
  fs::create_symlink("OUT.NC", tmp / "FUTURE.log");
  const std::string exeDir = tmp.path().string();
  struct Case {
    const char* name;
    std::vector<std::string> args;
  };
  const Case cases[] = {
      {"-o names the source", {"--force", "-o", src, src}},
      {"-o names the source by another spelling", {"--force", "-o", (tmp.path() / "." / "X.nc").string(), src}},
      {"-o is a hard link to the source", {"--force", "-o", (tmp / "HARD.nc").string(), src}},
      {"-o is a symbolic link to the source", {"--force", "-o", (tmp / "SOFT.nc").string(), src}},
      {"--log names the source", {"--log", src, "-o", out, src}},
      {"--log names the word list", {"--log", words, "-o", out, src}},
      {"-o names the word list", {"--force", "-o", words, src}},
      {"--log and -o name the same new file", {"--log", out, "-o", out, src}},
      {"--log and -o name the same file", {"--force", "--log", log, "-o", log, src}},
      {"--diagnostics-file names the source", {"--diagnostics", "json", "--diagnostics-file", src, "--check", src}},
      {"-o names the default settings file", {"--exe-dir", exeDir, "--force", "-o", (tmp / "vostrel.INI").string(), src}},
      {"--log is a link to the future output", {"--log", (tmp / "FUTURE.log").string(), "-o", out, src}},
  };
  const auto before = Snapshot(tmp.path());
  for (const Case& c : cases) {
    // With --exe-dir the word list is the one beside it, by default.
    std::vector<std::string> args;
    if (c.args.front() != "--exe-dir") args = {"--word-list", words};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Outcome o = Vostrelc(args);
    ASSERT_FALSE(o.crashed) << c.name << ": " << o;
    EXPECT_EQ(o.status, 2) << c.name << ": " << o;
    EXPECT_NE(o.errors.find("nothing was done"), std::string::npos) << c.name << ": " << o;
    EXPECT_EQ(Snapshot(tmp.path()), before) << c.name;
  }
  // A log is created only once the run starts: a missing source leaves it.
  const Outcome o = Vostrelc({"--word-list", words, "--log", log, "-o", out, (tmp / "missing.nc").string()});
  EXPECT_EQ(o.status, 2) << o;
  EXPECT_EQ(Snapshot(tmp.path()), before);

  // An include file is known only once the run reads it: the run stops
  // there, before the output replaces it.
  WriteFile(tmp / "INC.nc", "#INCLUDE " + (tmp / "COMMON.DEF").string() + "\r\nG00 X0\r\n");
  WriteFile(tmp / "COMMON.DEF", "$A 1\r\n");
  const Outcome include =
      Vostrelc({"-q", "--word-list", words, "--force", "-o", (tmp / "COMMON.DEF").string(), (tmp / "INC.nc").string()});
  EXPECT_EQ(include.status, 2) << include;
  EXPECT_NE(include.errors.find("the output would overwrite the include file"), std::string::npos) << include;
  EXPECT_EQ(ReadFile(tmp / "COMMON.DEF"), "$A 1\r\n");
}

// With --force a file with other hard links is replaced and says so; its
// other names keep the old program.
TEST(HostileFiles, ForcedOutputWithOtherHardLinksWarns) {
  TempDir tmp;
  WriteFile(tmp / "src.nc", "G00 X0\r\n");
  WriteFile(tmp / "OUT.NC", kOld);
  fs::create_hard_link(tmp / "OUT.NC", tmp / "COPY.NC");
  const Outcome refused =
      Vostrelc({"-q", "--word-list", kWordList, "-o", (tmp / "OUT.NC").string(), (tmp / "src.nc").string()});
  EXPECT_EQ(refused.status, 2) << refused;
  const Outcome o = Vostrelc({"-q", "--word-list", kWordList, "--force", "-o", (tmp / "OUT.NC").string(),
                              (tmp / "src.nc").string()});
  ASSERT_EQ(o.status, 0) << o;
  EXPECT_NE(o.errors.find("warning: the file had 1 other hard link(s); they keep the old content"),
            std::string::npos)
      << o;
  EXPECT_EQ(ReadFile(tmp / "OUT.NC"), "G00X0\r\n");
  EXPECT_EQ(ReadFile(tmp / "COPY.NC"), kOld);
}

// ---- messages -------------------------------------------------------------

TEST(HostileMessages, EveryFileErrorNamesThePathAndTheReason) {
  TempDir tmp;
  WriteFile(tmp / "nul-inside.nc", std::string("A\0B\r\n", 5));
  WriteFile(tmp / "nul-first.nc", std::string("\0X\r\nG00\r\n", 9));
  WriteFile(tmp / "plain.nc", "G00\r\n");
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int status;
    std::vector<std::string> said;  // in this order on standard error
  };
  std::vector<std::string> elevenWords;
  for (int i = 0; i < 11; ++i) elevenWords.insert(elevenWords.end(), {"-a", "W" + std::to_string(i)});
  elevenWords.insert(elevenWords.end(), {"--stdout", (tmp / "plain.nc").string()});
  const Case cases[] = {
      {"a NUL byte inside", {"--stdout", (tmp / "nul-inside.nc").string()}, 0,
       {"nul-inside.nc: warning: line 1 holds a NUL byte (byte 2 of the file)"}},
      {"a NUL byte first", {"--stdout", (tmp / "nul-first.nc").string()}, 0,
       {"ファイル形式が違います。", "→ はい: read as raw bytes",
        "nul-first.nc: warning: line 1 holds a NUL byte (byte 1 of the file); the file was read line by line"}},
      {"a file that cannot be read", {"--stdout", "/proc/self/mem"}, 2,
       {"/proc/self/mem: cannot read the source: Input/output error"}},
      {"an eleventh word", elevenWords, 2, {"at most ten -a words"}},
      {"a dangling link as output", {"-o", (tmp / "LINK.NC").string(), (tmp / "plain.nc").string()}, 2,
       {"LINK.NC: cannot write the output: it is a link to a missing file"}},
  };
  fs::create_symlink(tmp / "nowhere" / "OUT.NC", tmp / "LINK.NC");
  for (const Case& c : cases) {
    std::vector<std::string> args{"-q", "--word-list", kWordList};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Outcome o = Vostrelc(args);
    ASSERT_FALSE(o.crashed) << c.name << ": " << o;
    EXPECT_EQ(o.status, c.status) << c.name << ": " << o;
    std::size_t at = 0;
    for (const std::string& text : c.said) {
      at = o.errors.find(text, at);
      EXPECT_NE(at, std::string::npos) << c.name << ": missing \"" << text << "\"\n" << o;
    }
  }
  EXPECT_FALSE(fs::exists(tmp / "nowhere"));
}

// Paths are bytes: an output folder named in Shift-JIS.
TEST(HostileMessages, PathsThatAreNoUtf8) {
  TempDir tmp;
  WriteFile(tmp / "src.nc", "G00 X0\r\n");
  const std::string folder = (tmp / "\x95\x5C").string();  // 表 in Shift-JIS
  fs::create_directory(folder);
  // The bytes cannot pass through the test's own text strings: the shell
  // makes them.
  const std::string command =
      "d=\"$2/$(printf '\\225\\134')\"; exec \"$0\" -q --word-list \"$1\" --log \"$d/run.log\" -o \"$d/OUT.NC\" \"$3\"";
  QProcess process;
  process.start("/bin/sh", {"-c", QString::fromStdString(command), VOSTRELC_PATH, QString::fromStdString(kWordList),
                            QString::fromStdString(tmp.path().string()),
                            QString::fromStdString((tmp / "src.nc").string())});
  ASSERT_TRUE(process.waitForFinished(60000));
  EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
  EXPECT_EQ(ReadFile(fs::path(folder) / "OUT.NC"), "G00X0\r\n");
}

// ---- runaway growth ---------------------------------------------------------

// Definitions whose values hold a name twice: the text would double with
// every row. The message names the row after which the whole text is
// beyond the bound, counting every line: lines that double together pass
// it a row or two before one line alone would.
TEST(HostileSource, DoublingDefinitionsStopTheRun) {
  struct Case {
    const char* what;
    std::string source;
    const char* message;
    const char* stage;
  };
  std::string longNames = "%\r\n";
  char row[64];
  for (int i = 0; i < 160; ++i) {  // 2.6 KB, each value twice the next name
    std::snprintf(row, sizeof row, "$D%03d D%03dD%03d\r\n", i, i + 1, i + 1);
    longNames += row;
  }
  longNames += "G00 XD000\r\nG00 YD000 (ZD000)\r\nG00 D000\r\n%\r\n";
  std::string oneByteNames = "%\r\n";
  for (int i = 0; i < 30; ++i) oneByteNames += "$a [b+b]\r\n$b [a+a]\r\n";
  oneByteNames += "#1=a\r\n#2=a\r\n%\r\n";
  const Case cases[] = {
      {"long names", longNames, "定義 D024 の置換でデータが 256 MB を超えました。", "外部定義ﾃﾞｰﾀ置換 -- 中止"},
      {"one-byte names", oneByteNames, "定義 a の置換でデータが 256 MB を超えました。", "定義ﾃﾞｰﾀ置換 -- 中止"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir tmp;
    WriteFile(tmp / "double.nc", c.source);
    const Outcome o = Vostrelc({"--word-list", kWordList, "-o", (tmp / "OUT.NC").string(),
                                (tmp / "double.nc").string()});
    ASSERT_FALSE(o.crashed) << o;
    EXPECT_EQ(o.status, 1) << o;
    EXPECT_NE(o.errors.find(c.message), std::string::npos) << o;
    EXPECT_NE(o.errors.find(c.stage), std::string::npos) << o;
    EXPECT_FALSE(fs::exists(tmp / "OUT.NC"));
  }
}

// ---- signals on a file system without unnamed temporary files -------------

TEST(Interrupt, NoTempFileSurvivesWithoutUnnamedTempFiles) {
  TempDir tmp;
  std::string source;
  for (int i = 0; i < 200000; ++i) source += "G01 X" + std::to_string(i) + ".5 Y-3.25 F200\r\n";
  WriteFile(tmp / "src.nc", source);
  const fs::path target = tmp / "OUT.NC";
  WriteFile(target, kOld);
  auto tempFiles = [&] {
    int n = 0;
    for (const auto& entry : fs::directory_iterator(tmp.path()))
      n += entry.path().filename().string().find(".vostrel-") != std::string::npos;
    return n;
  };
  // The loader splits LD_PRELOAD at spaces: the shim is preloaded from a
  // copy here, not from a checkout whose path may hold spaces.
  const fs::path shim = tmp / "no_tmpfile_shim.so";
  fs::copy_file(NO_TMPFILE_SHIM, shim);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("LD_PRELOAD", QString::fromStdString(shim.string()));
  env.insert("VOSTREL_SHIM_SLOW_WRITE", "1");
  const QStringList args{"-q", "--word-list", QString::fromStdString(kWordList), "--force", "-o",
                         QString::fromStdString(target.string()), QString::fromStdString((tmp / "src.nc").string())};
  // A second signal while the output is written: the named temporary file
  // goes with the program.
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(VOSTRELC_PATH, args);
    ASSERT_TRUE(process.waitForStarted());
    while (tempFiles() == 0 && process.state() == QProcess::Running) process.waitForFinished(2);
    ASSERT_EQ(process.state(), QProcess::Running) << "the write ended before the signal";
    const auto pid = static_cast<pid_t>(process.processId());
    ASSERT_EQ(::kill(pid, signal), 0);
    process.waitForFinished(100);
    ASSERT_EQ(::kill(pid, signal), 0);
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 128 + signal) << process.readAllStandardError().toStdString();
    EXPECT_EQ(ReadFile(target), kOld);
    EXPECT_EQ(tempFiles(), 0) << "signal " << signal;
  }
  // A sync that fails (here with nothing to write) keeps the old file too.
  env.insert("VOSTREL_SHIM_FAIL_FSYNC", "1");
  WriteFile(tmp / "empty.nc", "");
  QProcess failing;
  failing.setProcessEnvironment(env);
  const Outcome o = RunProgram(VOSTRELC_PATH,
                               {"-q", "--word-list", QString::fromStdString(kWordList), "--force", "-o",
                                QString::fromStdString(target.string()), QString::fromStdString((tmp / "empty.nc").string())},
                               &failing);
  EXPECT_EQ(o.status, 2) << o;
  EXPECT_NE(o.errors.find("OUT.NC: cannot write the output: Input/output error"), std::string::npos) << o;
  EXPECT_EQ(ReadFile(target), kOld);
  EXPECT_EQ(tempFiles(), 0);

  // One left by a killed run (its process is gone) goes with the next save
  // into the folder once it is old; a file that only looks alike stays.
  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  ASSERT_EQ(waitpid(gone, nullptr, 0), gone);
  const fs::path left = tmp / ("OUT.NC.vostrel-" + std::to_string(gone) + "-abc123.tmp");
  WriteFile(left, "partial");
  fs::last_write_time(left, fs::file_time_type::clock::now() - std::chrono::hours(2));
  WriteFile(tmp / "notes.vostrel-draft.tmp", "mine");
  const Outcome next = Vostrelc({"-q", "--word-list", kWordList, "--force", "-o", target.string(),
                                 (tmp / "src.nc").string()});
  EXPECT_EQ(next.status, 0) << next;
  EXPECT_EQ(tempFiles(), 1);
  EXPECT_TRUE(fs::exists(tmp / "notes.vostrel-draft.tmp"));
}

// Temporary files in a folder that two machines share: a process id says
// nothing there, so a save removes only temporary files that are an hour
// old and that no process holds locked (a save under way elsewhere). The
// other machine is stood in for by a second process that holds the lock.
TEST(Interrupt, SaveLeavesYoungOrLockedTempFilesAlone) {
  TempDir tmp;
  WriteFile(tmp / "src.nc", "G00 X0\r\n");
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(2);
  auto leave = [&](const std::string& name, bool aged) {
    WriteFile(tmp / name, "partial");
    if (aged) fs::last_write_time(tmp / name, old);
    return tmp / name;
  };
  // Process ids that run here: a pid check would keep all of them, an
  // age and lock check removes the first only.
  const std::string self = std::to_string(getpid());
  const fs::path stale = leave("OUT.NC.vostrel-" + self + "-aaaaaa.tmp", true);
  const fs::path young = leave("OUT.NC.vostrel-1-bbbbbb.tmp", false);
  const fs::path locked = leave("OUT.NC.vostrel-1-cccccc.tmp", true);

  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t holder = fork();
  if (holder == 0) {
    const int fd = ::open(locked.c_str(), O_WRONLY);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    const char said = fd >= 0 && ::fcntl(fd, F_OFD_SETLK, &lock) == 0 ? 'y' : 'n';
    if (::write(ready[1], &said, 1) != 1) _exit(1);
    ::pause();
    _exit(0);
  }
  char said = 0;
  ASSERT_EQ(::read(ready[0], &said, 1), 1);
  ASSERT_EQ(said, 'y') << "the holder could not lock the file";
  auto save = [&] {
    return Vostrelc({"-q", "--word-list", kWordList, "--force", "-o", (tmp / "OUT.NC").string(),
                     (tmp / "src.nc").string()});
  };
  const Outcome first = save();
  EXPECT_EQ(first.status, 0) << first;
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(young));
  EXPECT_TRUE(fs::exists(locked)) << "a save under way in another process lost its file";

  // Once the other process is gone, its old file goes with the next save.
  ::kill(holder, SIGKILL);
  ASSERT_EQ(waitpid(holder, nullptr, 0), holder);
  const Outcome second = save();
  EXPECT_EQ(second.status, 0) << second;
  EXPECT_FALSE(fs::exists(locked));
  EXPECT_TRUE(fs::exists(young));
  ::close(ready[0]);
  ::close(ready[1]);
}

}  // namespace
}  // namespace vostrel::test
