#include "cli/file_gate.h"

#include <system_error>

#include "platform/file_identity.h"
#include "text/path_text.h"

namespace vostrel::cli {

namespace fs = std::filesystem;

namespace {

// `path` with its links followed to their end, also to a file that is not
// there yet (a link to a future output is that output).
fs::path FollowLinks(fs::path path) {
  std::error_code ec;
  for (int links = 0; links < 40 && fs::is_symlink(path, ec); ++links) {
    const fs::path to = fs::read_symlink(path, ec);
    if (ec) break;
    path = to.is_absolute() ? to : path.parent_path() / to;
  }
  return path;
}

}  // namespace

bool FileGate::KeyOf(const fs::path& given, Key& key) {
  const fs::path path = FollowLinks(given);
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (const auto id = platform::IdentifyFile(path)) {
    if (!fs::is_regular_file(status)) return false;
    key = {true, id->device, id->index, {}};
    return true;
  }
  const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
  const fs::path name = path.filename();
  const bool folds = platform::FolderFoldsCase(folder);
  const std::string compared = folds ? platform::FoldedName(name) : PathToUtf8(name);
  if (const auto id = platform::IdentifyFile(folder)) {
    key = {false, id->device, id->index, compared};
  } else {
    // A folder that is not there either: the spelling is all there is.
    key = {false, 0, 0, PathToUtf8(fs::absolute(folder, ec).lexically_normal() / compared)};
  }
  return true;
}

void FileGate::Reads(std::string role, const fs::path& path) { read_.push_back({std::move(role), path}); }

void FileGate::Writes(std::string role, const fs::path& path) { written_.push_back({std::move(role), path}); }

std::string FileGate::Clash() {
  writtenKeys_.clear();
  Key key;
  // A written file that is a read one is told first: it would be lost.
  std::string twice;
  for (std::size_t w = 0; w < written_.size(); ++w) {
    if (!KeyOf(written_[w].path, key)) continue;
    const auto [other, added] = writtenKeys_.emplace(key, w);
    if (!added && twice.empty())
      twice = PathToUtf8(written_[w].path) + ": " + written_[other->second].role + " and " + written_[w].role +
              " name the same file";
  }
  for (const Listed& read : read_) {
    if (!KeyOf(read.path, key)) continue;
    const auto found = writtenKeys_.find(key);
    if (found != writtenKeys_.end()) {
      const Listed& written = written_[found->second];
      return PathToUtf8(written.path) + ": " + written.role + " would overwrite " + read.role + " " +
             PathToUtf8(read.path);
    }
  }
  return twice;
}

std::string FileGate::IncludeClash(const fs::path& path) const {
  Key key;
  if (!KeyOf(path, key)) return {};
  const auto found = writtenKeys_.find(key);
  if (found == writtenKeys_.end()) return {};
  const Listed& written = written_[found->second];
  return PathToUtf8(written.path) + ": " + written.role + " would overwrite the include file " + PathToUtf8(path);
}

}  // namespace vostrel::cli
