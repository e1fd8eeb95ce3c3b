#include "pipeline/output_file.h"

#include <cstring>
#include <memory>

namespace vostrel {

bool WriteLines(const platform::ByteSink& sink, const TextLines& lines) {
  // Lines are copied into one block of about 1 MiB that goes out whole; a
  // line too long for the block goes out by itself.
  constexpr std::size_t kChunk = 1 << 20;
  const std::unique_ptr<char[]> block(new char[kChunk]);
  std::size_t used = 0;
  auto flush = [&] {
    const bool ok = used == 0 || sink(std::string_view(block.get(), used));
    used = 0;
    return ok;
  };
  for (const std::string_view line : lines) {
    if (kChunk - used < line.size() + 2) {
      if (!flush()) return false;
      if (line.size() + 2 > kChunk) {
        if (!sink(line)) return false;
        std::memcpy(block.get(), "\r\n", 2);
        used = 2;
        continue;
      }
    }
    if (!line.empty()) std::memcpy(block.get() + used, line.data(), line.size());
    block[used + line.size()] = '\r';
    block[used + line.size() + 1] = '\n';
    used += line.size() + 2;
  }
  return flush();
}

bool SaveLines(const std::filesystem::path& path, const TextLines& lines, std::string* error,
               platform::SaveRules rules) {
  return platform::SaveFileAtomically(
      path, [&lines](const platform::ByteSink& sink) { return WriteLines(sink, lines); }, error, rules);
}

}  // namespace vostrel
