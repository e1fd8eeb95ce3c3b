#pragma once
// The include files of a batch of runs: each file is read once, the first
// time a run names it, and every later run of the batch gets the same bytes
// (or the same "missing"), whatever happens to the file meanwhile. Safe to
// share between runs on several threads.

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace vostrel {

class IncludeFiles {
 public:
  // The bytes of the file at `path` as first read in this batch; false when
  // it could not be read then.
  bool Read(const std::filesystem::path& path, std::string& bytes);
  // The file at `path` holds `bytes` for the runs that use this set, what
  // the disk says (an editor's unsaved text).
  void Provide(const std::filesystem::path& path, std::string bytes);

 private:
  std::mutex mutex_;
  std::map<std::filesystem::path, std::optional<std::string>> files_;
};

}  // namespace vostrel
