#include "pipeline/output_file.h"

namespace vostrel {

bool WriteLines(const platform::ByteSink& sink, const TextLines& lines) {
  constexpr std::size_t kChunk = 1 << 20;
  std::string buffer;
  buffer.reserve(kChunk + 4096);
  auto flush = [&] {
    const bool ok = buffer.empty() || sink(buffer);
    buffer.clear();
    return ok;
  };
  for (const auto& line : lines) {
    if (line.size() >= kChunk) {  // a huge line goes out directly
      if (!flush() || !sink(line)) return false;
      buffer.append("\r\n", 2);
      continue;
    }
    buffer.append(line).append("\r\n", 2);
    if (buffer.size() >= kChunk && !flush()) return false;
  }
  return flush();
}

bool SaveLines(const std::filesystem::path& path, const TextLines& lines, std::string* error,
               platform::SaveRules rules) {
  return platform::SaveFileAtomically(
      path, [&lines](const platform::ByteSink& sink) { return WriteLines(sink, lines); }, error, rules);
}

}  // namespace vostrel
