#include "pipeline/output_file.h"

#include <QSaveFile>
#include <QString>

#include <cerrno>
#include <cstring>
#include <system_error>

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
  // Only a regular file is replaced: the rename would put a plain file in
  // the place of a folder, a device or a pipe.
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    if (error) *error = std::filesystem::is_directory(status) ? "it is a folder" : "it is not a regular file";
    return false;
  }
  QSaveFile file(QString::fromStdU16String(path.u16string()));
  file.setDirectWriteFallback(false);
  errno = 0;
  if (file.open(QIODevice::WriteOnly) && WriteLines(file, lines) && file.commit()) return true;
  const int code = errno;
  if (error) {
    // A failed write of the temporary file comes back from Qt as an unknown
    // error; the system's reason (no space left, file too large) says more.
    *error = file.errorString().toStdString();
    if ((error->empty() || *error == "Unknown error") && code != 0) *error = std::strerror(code);
  }
  file.cancelWriting();
  return false;
}

}  // namespace vostrel
