#pragma once
// Which file a path names, and how a folder's file system compares names:
// what tells two spellings of one file apart from two files.

#include <compare>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace vostrel::platform {

// A file as the system knows it: its device (volume) and its number there.
struct FileId {
  std::uint64_t device = 0, index = 0;
  auto operator<=>(const FileId&) const = default;
};

// The file `path` names, links followed; nullopt when there is none.
std::optional<FileId> IdentifyFile(const std::filesystem::path& path);

// Whether the file system of `folder` takes names that differ only in case
// for one name (FAT, exFAT and SMB shares, case-folding folders on Linux;
// every folder on Windows).
bool FolderFoldsCase(const std::filesystem::path& folder);

// `name` as a case-folding file system compares it (letters in one case).
std::string FoldedName(const std::filesystem::path& name);

}  // namespace vostrel::platform
