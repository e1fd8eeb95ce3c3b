// The include files of a batch are read once: later runs get what the first
// read found, whatever happens to the file meanwhile.

#include <gtest/gtest.h>

#include "pipeline/include_files.h"
#include "tests/test_support.h"

namespace vostrel {
namespace {

TEST(IncludeFiles, EachFileIsReadOncePerBatch) {
  test::TempDir dir;
  const auto path = dir / "COMMON.DEF", missing = dir / "LATER.DEF";
  test::WriteFile(path, "$AB 1\r\n");
  IncludeFiles files;
  std::string bytes;
  ASSERT_TRUE(files.Read(path, bytes));
  EXPECT_EQ(bytes, "$AB 1\r\n");
  EXPECT_FALSE(files.Read(missing, bytes));

  test::WriteFile(path, "$AB 2\r\n");
  test::WriteFile(missing, "$CD 3\r\n");
  ASSERT_TRUE(files.Read(path, bytes));
  EXPECT_EQ(bytes, "$AB 1\r\n");
  EXPECT_FALSE(files.Read(missing, bytes));
  // A new batch sees the files as they are now.
  IncludeFiles next;
  ASSERT_TRUE(next.Read(missing, bytes));
  EXPECT_EQ(bytes, "$CD 3\r\n");
}

}  // namespace
}  // namespace vostrel
