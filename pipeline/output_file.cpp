#include "pipeline/output_file.h"

#include <QSaveFile>
#include <QString>

namespace vostrel {

bool WriteLines(QIODevice& device, const TextLines& lines) {
  constexpr std::size_t kChunk = 1 << 20;
  std::string buffer;
  buffer.reserve(kChunk + 4096);
  auto flush = [&] {
    const bool ok = buffer.empty() ||
                    device.write(buffer.data(), static_cast<qint64>(buffer.size())) ==
                        static_cast<qint64>(buffer.size());
    buffer.clear();
    return ok;
  };
  for (const auto& line : lines) {
    if (line.size() >= kChunk) {  // a huge line goes out directly
      if (!flush() ||
          device.write(line.data(), static_cast<qint64>(line.size())) != static_cast<qint64>(line.size()))
        return false;
      buffer.append("\r\n", 2);
      continue;
    }
    buffer.append(line).append("\r\n", 2);
    if (buffer.size() >= kChunk && !flush()) return false;
  }
  return flush();
}

bool SaveLines(const std::filesystem::path& path, const TextLines& lines, std::string* error) {
  QSaveFile file(QString::fromStdU16String(path.u16string()));
  file.setDirectWriteFallback(false);
  if (file.open(QIODevice::WriteOnly) && WriteLines(file, lines) && file.commit()) return true;
  if (error) *error = file.errorString().toStdString();
  file.cancelWriting();
  return false;
}

}  // namespace vostrel
