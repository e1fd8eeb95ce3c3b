#include "pipeline/output_file.h"

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace vostrel {
namespace {

// A sink that takes `room` bytes, then fails every write (a full disk).
platform::ByteSink FullSink(std::size_t room, std::string& written) {
  return [room, &written](std::string_view bytes) {
    if (written.size() + bytes.size() > room) return false;
    written.append(bytes);
    return true;
  };
}

TEST(OutputFile, WritesEveryLineWithCrLf) {
  const TextLines samples[] = {{}, {""}, {"A", "B"}, {"\x95\x5C", "", "M30"},
                               {std::string(3 << 20, 'X'), "tail"}};  // a line above the buffer size
  for (const auto& lines : samples) {
    std::string written;
    ASSERT_TRUE(WriteLines(FullSink(std::string::npos, written), lines));
    EXPECT_EQ(written, OutputBytes(lines));
  }
}

// Lines that end just before, on and just after the edge of the 1 MiB
// block, with its CR LF split across two writes or not.
TEST(OutputFile, LinesAtTheBlockEdge) {
  constexpr std::size_t kBlock = 1 << 20;
  for (const std::size_t second : {kBlock - 4, kBlock - 3, kBlock - 2, kBlock - 1, kBlock, kBlock + 1}) {
    const TextLines lines{"G00", std::string(second, 'X'), "M30", ""};
    std::string written;
    ASSERT_TRUE(WriteLines(FullSink(std::string::npos, written), lines));
    EXPECT_TRUE(written == OutputBytes(lines)) << second;
  }
}

TEST(OutputFile, AFailingWriteIsReported) {
  TextLines lines;
  for (int i = 0; i < 200000; ++i) lines.push_back(std::string(40, 'G'));
  for (std::size_t room : {0, 100, 1 << 20, 5 << 20}) {
    std::string written;
    EXPECT_FALSE(WriteLines(FullSink(room, written), lines)) << "room " << room;
  }
}

TEST(OutputFile, SaveReplacesOnlyWhenComplete) {
  test::TempDir dir;
  const auto target = dir / "OUT.NC";
  test::WriteFile(target, "OLD\r\n");
  std::string error;
  EXPECT_TRUE(SaveLines(target, {"G00", "M30"}, &error)) << error;
  EXPECT_EQ(test::ReadFile(target), "G00\r\nM30\r\n");

  EXPECT_FALSE(SaveLines(dir / "missing-folder" / "OUT.NC", {"G00"}, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(test::ReadFile(target), "G00\r\nM30\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1)
      << "no temporary file is left behind";
}

}  // namespace
}  // namespace vostrel
