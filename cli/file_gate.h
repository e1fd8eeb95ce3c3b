#pragma once
// The one check of which files a run, or a batch, may write. Before
// anything is touched, every file it reads (source, settings file, word
// list) and every file it writes (output, log, diagnostics, per-source logs)
// is listed; no written file may be a read one, nor another written one.
// Files are compared as the system sees them: by identity (device and file
// number, links followed) where they exist, else by their folder's identity
// and their name as that folder's file system compares names (case-folded
// where it folds case). Include files become known only during the run:
// each is checked against the written files when it is found.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace vostrel::cli {

class FileGate {
 public:
  // `role` names the file in messages ("the source", "the log").
  void Reads(std::string role, const std::filesystem::path& path);
  void Writes(std::string role, const std::filesystem::path& path);

  // The first clash, as a message without the program's name; empty when
  // there is none. Call once, after every file was listed.
  std::string Clash();

  // Why the include file `path` may not be read: it is a written file.
  // Empty when it may. Safe to call from several threads after Clash().
  std::string IncludeClash(const std::filesystem::path& path) const;

 private:
  // What tells files apart: an existing file by its identity, a missing one
  // by its folder's identity (or spelling) and its compared name.
  using Key = std::tuple<bool, std::uint64_t, std::uint64_t, std::string>;
  struct Listed {
    std::string role;
    std::filesystem::path path;
  };
  // The key of `path`; false for a device, pipe or folder, which no write
  // of a file can harm and which may be written by several.
  static bool KeyOf(const std::filesystem::path& path, Key& key);

  std::vector<Listed> read_, written_;
  std::map<Key, std::size_t> writtenKeys_;  // -> index into written_
};

}  // namespace vostrel::cli
