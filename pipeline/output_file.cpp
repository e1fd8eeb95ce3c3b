#include "pipeline/output_file.h"

#include <QIODevice>

#include "platform/atomic_file.h"

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
  return platform::SaveFileAtomically(path, [&lines](QIODevice& device) { return WriteLines(device, lines); },
                                      error);
}

}  // namespace vostrel
