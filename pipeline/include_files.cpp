#include "pipeline/include_files.h"

#include "pipeline/definition_parse.h"

namespace vostrel {

bool IncludeFiles::Read(const std::filesystem::path& path, std::string& bytes) {
  // Reading under the lock keeps one read per file: a second run that
  // names the same file waits for the first read instead of repeating it.
  std::lock_guard lock(mutex_);
  auto [entry, added] = files_.try_emplace(path);
  if (added) {
    std::string read;
    if (ReadIncludeFile(path, read)) entry->second = std::move(read);
  }
  if (!entry->second) return false;
  bytes = *entry->second;
  return true;
}

void IncludeFiles::Provide(const std::filesystem::path& path, std::string bytes) {
  std::lock_guard lock(mutex_);
  files_[path] = std::move(bytes);
}

}  // namespace vostrel
