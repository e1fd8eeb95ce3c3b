#pragma once
// Writing a file so that it is either whole or untouched: the bytes go to a
// temporary file in the target's folder, which is synced and renamed over
// the target only when every write, the sync and the close have succeeded.
//
// - Only a regular file is replaced (a folder, device or pipe is refused),
//   and a write-protected file is left as it is.
// - A symbolic link is written through: the file it points to is replaced
//   and the link stays. A link that points nowhere, or a link that another
//   user planted in a shared sticky folder (such as /tmp), is refused.
// - A replaced file keeps its mode, and its owner and group where the
//   process may set them.
// - A file with other hard links is refused unless the caller allows
//   cutting it from them (the other names then keep the old content).
// - The temporary file is unnamed where the file system allows it, so that
//   nothing is left even when the process is killed; elsewhere it is named
//   "<target name>.vostrel-<process id>-<random>.tmp", locked while it is
//   written, removed on every failure and by RemovePendingTempFiles (for
//   signal handlers); one left by a killed process is removed by a later
//   save into that folder once it is unlocked and an hour old (a process
//   id says nothing about a save from another machine on a shared folder).

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace vostrel::platform {

// Takes the next bytes of the content; false when the system refused them.
using ByteSink = std::function<bool(std::string_view bytes)>;

struct SaveRules {
  bool createFolder = false;      // create a missing folder
  bool replaceHardLinked = false;  // cut a file with other hard links from them
};

// `write` puts the content into the sink and says whether every write
// succeeded. On failure `error` says why (the system's reason where there
// is one).
bool SaveFileAtomically(const std::filesystem::path& path, const std::function<bool(const ByteSink&)>& write,
                        std::string* error = nullptr, SaveRules rules = {});

bool SaveFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                        std::string* error = nullptr, SaveRules rules = {});

// Whether `path` may be saved under `rules` (the checks above, and that
// the folder is there and writable unless it is to be created, for a check
// before long work); on failure `error` says why.
bool CheckReplaceable(const std::filesystem::path& path, std::string* error = nullptr, SaveRules rules = {});

// The file a write in place (a log, streamed) to `path` lands on, by the
// link rules above: a link that points nowhere, or one that another user
// planted in a shared sticky folder, is refused (`error` says why). Devices
// and pipes are fine to write in place.
bool FollowWriteLinks(const std::filesystem::path& path, std::filesystem::path& target,
                      std::string* error = nullptr);

// Removes the named temporary files of saves under way. Safe to call from
// a signal handler; the process must end afterwards.
void RemovePendingTempFiles() noexcept;

// Makes Ctrl-C, SIGTERM and SIGHUP remove those files before they end the
// process as usual (for a program with no handling of its own).
void RemoveTempFilesOnStopSignals();

}  // namespace vostrel::platform
