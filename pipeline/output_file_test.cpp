#include "pipeline/output_file.h"

#include <gtest/gtest.h>

#include <QBuffer>

#include "tests/test_support.h"

namespace vostrel {
namespace {

// A device that accepts `room` bytes, then fails every write (a full disk).
class FullDevice : public QIODevice {
 public:
  explicit FullDevice(qint64 room) : room_(room) { open(QIODevice::WriteOnly); }
  QByteArray written;

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char* data, qint64 size) override {
    if (written.size() + size > room_) return -1;
    written.append(data, size);
    return size;
  }

 private:
  qint64 room_;
};

TEST(OutputFile, WritesEveryLineWithCrLf) {
  const TextLines samples[] = {{}, {""}, {"A", "B"}, {"\x95\x5C", "", "M30"},
                               {std::string(3 << 20, 'X'), "tail"}};  // a line above the buffer size
  for (const auto& lines : samples) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(WriteLines(buffer, lines));
    EXPECT_EQ(buffer.data().toStdString(), OutputBytes(lines));
  }
}

TEST(OutputFile, AFailingWriteIsReported) {
  TextLines lines(200000, std::string(40, 'G'));
  for (qint64 room : {0, 100, 1 << 20, 5 << 20}) {
    FullDevice device(room);
    EXPECT_FALSE(WriteLines(device, lines)) << "room " << room;
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
