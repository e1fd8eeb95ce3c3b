// Writes that fail part way (a full disk, stood in for by a file size
// limit in a child process): the output file (also the viewer's 保存), the
// settings file and the plain files (word list, launchers) are replaced
// whole or not at all, at every size around the buffer sizes.

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "pipeline/output_file.h"
#include "platform/atomic_file.h"
#include "settings/ini_file.h"
#include "tests/test_support.h"

namespace vostrel {
namespace {

namespace fs = std::filesystem;

// A writer puts exactly `size` bytes (at least its smallest content) to a
// path and says why it failed.
struct Writer {
  const char* name;
  std::size_t smallest;
  std::function<bool(const fs::path&, std::size_t size, std::string* error)> write;
  std::function<std::string(std::size_t size)> content;
};

const Writer kWriters[] = {
    {"output and viewer save", 2,
     [](const fs::path& path, std::size_t size, std::string* error) {
       return SaveLines(path, {std::string(size - 2, 'G')}, error);
     },
     [](std::size_t size) { return std::string(size - 2, 'G') + "\r\n"; }},
    {"settings file", 3,
     [](const fs::path& path, std::size_t size, std::string* error) {
       settings::IniFile file;
       file.Parse(std::string(size - 2, ';'));
       return file.Save(path, error);
     },
     [](std::size_t size) { return std::string(size - 2, ';') + "\r\n"; }},
    {"word list and launchers", 1,
     [](const fs::path& path, std::size_t size, std::string* error) {
       return platform::SaveFileAtomically(path, std::string(size, 'W'), error);
     },
     [](std::size_t size) { return std::string(size, 'W'); }},
};

// Runs the writer in a child whose files may hold at most `limit` bytes.
// 0: saved; 1: refused with the system's reason; 2: refused without it.
int WriteUnderLimit(const Writer& writer, const fs::path& path, std::size_t size, rlim_t limit) {
  const pid_t child = fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit fileSize{limit, limit};
    if (setrlimit(RLIMIT_FSIZE, &fileSize) != 0) _exit(3);
    std::string error;
    if (writer.write(path, size, &error)) _exit(0);
    _exit(error == "File too large" ? 1 : 2);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST(HostileWrite, FailedWriteLeavesTheOldFileWholeAtEverySize) {
  const std::size_t sizes[] = {1,         2,         4095,      4096,          4097,          8191,
                               8192,      8193,      16384,     65535,         65536,         65537,
                               1u << 20,  (1u << 20) - 1,       (1u << 20) + 1, (1u << 20) + 4096};
  const std::string old = "%\r\nO9999 (THE OLD FILE)\r\n%\r\n";
  for (const Writer& writer : kWriters) {
    for (const std::size_t size : sizes) {
      if (size < writer.smallest) continue;
      SCOPED_TRACE(std::string(writer.name) + ", " + std::to_string(size) + " bytes");
      test::TempDir dir;
      const fs::path path = dir / "OUT.NC";
      test::WriteFile(path, old);
      ASSERT_EQ(chmod(path.c_str(), 0640), 0);
      // Another owner and group, where this process may give them (root).
      const bool foreign = geteuid() == 0 && chown(path.c_str(), 65534, 65534) == 0;
      // The last byte fails, then the first.
      for (const rlim_t limit : {static_cast<rlim_t>(size - 1), rlim_t{0}}) {
        EXPECT_EQ(WriteUnderLimit(writer, path, size, limit), 1) << "limit " << limit;
        EXPECT_EQ(test::ReadFile(path), old);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1) << "a temporary file is left";
      }
      // Room for exactly the content: replaced; mode, owner and group kept.
      ASSERT_EQ(WriteUnderLimit(writer, path, size, size), 0);
      EXPECT_TRUE(test::ReadFile(path) == writer.content(size));
      struct stat info {};
      ASSERT_EQ(stat(path.c_str(), &info), 0);
      EXPECT_EQ(info.st_mode & 07777, 0640u);
      EXPECT_TRUE(!foreign || (info.st_uid == 65534 && info.st_gid == 65534)) << "owner or group reset";
      EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);
    }
  }
}

// Links: a symbolic link is written through and stays a link; a link to
// nothing and a file with other hard links are refused, and nothing changes.
// A log follows the same link rules.
TEST(HostileWrite, LinksAreKeptOrRefused) {
  test::TempDir dir;
  test::WriteFile(dir / "REAL.NC", "OLD\r\n");
  fs::create_symlink("REAL.NC", dir / "LINK.NC");
  fs::create_symlink("MISSING.NC", dir / "DANGLING.NC");
  test::WriteFile(dir / "A.NC", "SHARED\r\n");
  fs::create_hard_link(dir / "A.NC", dir / "B.NC");
  std::string error;

  ASSERT_TRUE(SaveLines(dir / "LINK.NC", {"NEW"}, &error)) << error;
  EXPECT_TRUE(fs::is_symlink(dir / "LINK.NC"));
  EXPECT_EQ(test::ReadFile(dir / "REAL.NC"), "NEW\r\n");

  EXPECT_FALSE(SaveLines(dir / "DANGLING.NC", {"NEW"}, &error));
  EXPECT_NE(error.find("link to a missing file"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(dir / "MISSING.NC"));

  // A file written in place (a log, the diagnostics) has the same link rules.
  fs::path target;
  ASSERT_TRUE(platform::FollowWriteLinks(dir / "LINK.NC", target, &error)) << error;
  EXPECT_EQ(target, dir / "REAL.NC");
  EXPECT_FALSE(platform::FollowWriteLinks(dir / "DANGLING.NC", target, &error));
  EXPECT_NE(error.find("link to a missing file"), std::string::npos) << error;

  EXPECT_FALSE(SaveLines(dir / "A.NC", {"NEW"}, &error));
  EXPECT_NE(error.find("1 other hard link"), std::string::npos) << error;
  EXPECT_EQ(test::ReadFile(dir / "B.NC"), "SHARED\r\n");
  EXPECT_EQ(fs::hard_link_count(dir / "A.NC"), 2u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 5);

  // A link that another user put into a shared sticky folder is not
  // followed (only root can make one here).
  if (geteuid() == 0) {
    const fs::path shared = dir / "shared";
    fs::create_directory(shared);
    ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
    fs::create_symlink(dir / "REAL.NC", shared / "PLANTED.NC");
    ASSERT_EQ(lchown((shared / "PLANTED.NC").c_str(), 65534, 65534), 0);
    EXPECT_FALSE(SaveLines(shared / "PLANTED.NC", {"EVIL"}, &error));
    EXPECT_NE(error.find("another user owns"), std::string::npos) << error;
    EXPECT_EQ(test::ReadFile(dir / "REAL.NC"), "NEW\r\n");
    EXPECT_FALSE(platform::FollowWriteLinks(shared / "PLANTED.NC", target, &error));
    EXPECT_NE(error.find("another user owns"), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace vostrel
