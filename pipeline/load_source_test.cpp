// Loading a source: what is read, what is refused, and the fallback question.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "pipeline/compile.h"
#include "tests/test_support.h"

namespace vostrel {
namespace {

TEST(LoadSource, CutsAtNulAndSplitsAtLineEnds) {
  test::TempDir dir;
  test::WriteFile(dir / "A.NC", std::string("G00\r\nG01\nX\rY\r\nM30\0tail\r\n", 24));
  test::StageHarness h;
  SourceCut cut;
  ASSERT_TRUE(LoadSource(dir / "A.NC", h.run, h.frame, platform::Pipes::Read, nullptr, &cut));
  EXPECT_EQ(h.run.WorkLines, (TextLines{"G00", "G01", "X\rY", "M30"}));
  EXPECT_EQ(cut.line, 4u);
  EXPECT_EQ(cut.offset, 17u);
  EXPECT_FALSE(cut.lineByLine);
  EXPECT_TRUE(h.frame.Messages().empty());

  // A NUL as the very first byte is told as well (the file is then read
  // line by line after the question).
  test::WriteFile(dir / "B.NC", std::string("\0X\r\nG00\r\n", 9));
  test::StageHarness first;
  ASSERT_TRUE(LoadSource(dir / "B.NC", first.run, first.frame, platform::Pipes::Read, nullptr, &cut));
  EXPECT_EQ(first.run.WorkLines, (TextLines{"G00"}));
  EXPECT_EQ(cut.line, 1u);
  EXPECT_EQ(cut.offset, 0u);
  EXPECT_TRUE(cut.lineByLine);
}

TEST(LoadSource, UnreadableSourceFailsWithoutAQuestion) {
  test::TempDir dir;
  for (const auto& path : {dir / "missing.nc", dir.path()}) {  // missing, a folder
    test::StageHarness h;
    std::string error;
    EXPECT_FALSE(LoadSource(path, h.run, h.frame, platform::Pipes::Refuse, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(h.frame.Messages().empty()) << "nothing to read: no file-format question";
    EXPECT_TRUE(h.run.WorkLines.empty());
  }
}

#ifndef _WIN32
// A named pipe that nobody writes to would block the window for ever: the
// window's load refuses it at once, as a source it cannot read.
TEST(LoadSource, WindowNeverWaitsOnAPipe) {
  test::TempDir dir;
  const auto fifo = dir / "pipe.nc";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  test::StageHarness h;
  h.frame.SetAnswer(true);
  EXPECT_FALSE(LoadSource(fifo, h.run, h.frame, platform::Pipes::Refuse));
  EXPECT_TRUE(h.run.WorkLines.empty());
}
#endif

}  // namespace
}  // namespace vostrel
