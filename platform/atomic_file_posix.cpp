#include "platform/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace vostrel::platform {

namespace fs = std::filesystem;

namespace {

// Bytes written between two hand-overs to the disk.
constexpr off_t kWriteBackStep = off_t{8} << 20;

// Starts writing a range of the file to the disk without waiting for it.
// Only a head start for the sync that follows: a failure changes nothing.
void StartWriteBack(int fd, off_t offset, off_t length) { ::sync_file_range(fd, offset, length, SYNC_FILE_RANGE_WRITE); }

constexpr std::string_view kTempMark = ".vostrel-";
constexpr std::string_view kTempEnd = ".tmp";

std::string Reason(int code) { return std::strerror(code); }

// A temporary file left behind is removed only once it is this old: a
// save under way keeps touching its file, and one from another machine on
// a shared folder holds a lock that this machine may not see.
constexpr time_t kStaleAge = 60 * 60;

// Named temporary files being written, for RemovePendingTempFiles. A slot
// is claimed, filled, and only then armed, so that a signal handler never
// reads a half-written name. When every slot is taken, a save waits for
// one: a save never fails for the bookkeeping.
struct PendingSlot {
  std::atomic<int> state{0};  // 0 free, 1 being filled, 2 armed
  char path[PATH_MAX];
};
PendingSlot g_pending[64];
static_assert(std::atomic<int>::is_always_lock_free);

class PendingName {
 public:
  PendingName() = default;
  PendingName(const PendingName&) = delete;
  PendingName& operator=(const PendingName&) = delete;
  ~PendingName() { Release(); }

  bool Arm(const std::string& path) {
    if (path.size() >= PATH_MAX) return false;
    for (;;) {
      for (PendingSlot& slot : g_pending) {
        int expected = 0;
        if (!slot.state.compare_exchange_strong(expected, 1)) continue;
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        slot.state.store(2);
        slot_ = &slot;
        return true;
      }
      const timespec pause{0, 1000000};
      ::nanosleep(&pause, nullptr);
    }
  }
  void Release() {
    if (slot_) slot_->state.store(0);
    slot_ = nullptr;
  }

 private:
  PendingSlot* slot_ = nullptr;
};

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Join(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

// The file a write to `path` lands on: links are followed to their end.
// `exists` tells whether that file is there (`info` then describes it).
bool ResolveTarget(std::string path, std::string& target, struct stat& info, bool& exists, std::string& why) {
  for (int links = 0;; ++links) {
    if (::lstat(path.c_str(), &info) != 0) {
      if (errno != ENOENT || links > 0) {
        why = links > 0 && errno == ENOENT ? "it is a link to a missing file (" + path + ")" : Reason(errno);
        return false;
      }
      exists = false;
      target = path;
      return true;
    }
    if (!S_ISLNK(info.st_mode)) {
      exists = true;
      target = path;
      return true;
    }
    if (links == 40) {
      why = Reason(ELOOP);
      return false;
    }
    // A link in a shared sticky folder (such as /tmp) is followed only when
    // it belongs to this user or to the folder's owner: another user may
    // have planted it to make this program write where he wants.
    const std::string folder = FolderOf(path);
    struct stat folderInfo {};
    if (::stat(folder.c_str(), &folderInfo) == 0 && (folderInfo.st_mode & S_ISVTX) &&
        (folderInfo.st_mode & S_IWOTH) && info.st_uid != ::geteuid() && info.st_uid != folderInfo.st_uid) {
      why = "it is a link that another user owns in the shared folder " + folder;
      return false;
    }
    std::string to(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : PATH_MAX) + 1, '\0');
    const ssize_t n = ::readlink(path.c_str(), to.data(), to.size());
    if (n < 0) {
      why = Reason(errno);
      return false;
    }
    to.resize(static_cast<std::size_t>(n));
    path = !to.empty() && to.front() == '/' ? to : Join(folder, to);
  }
}

bool IsDigits(std::string_view s) {
  if (s.empty()) return false;
  for (const char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// A lock on the whole open file, held by the open file itself (so threads
// of one process exclude each other too), where the system has such locks;
// else a whole-file lock. On network file systems it reaches the server.
// False when another holds it.
bool LockFile(int fd) {
#ifdef F_OFD_SETLK
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  if (::fcntl(fd, F_OFD_SETLK, &lock) == 0) return true;
  if (errno != EINVAL) return false;
#endif
  return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

// Removes `path` when nobody holds its lock (nobody is writing it).
void RemoveIfUnlocked(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return;
  if (LockFile(fd)) ::unlink(path.c_str());
  ::close(fd);
}

// Temporary files of ours that a killed process left in `folder`: named by
// the rule above, owned by this user, an hour old and not locked by a save
// under way (here or on another machine).
void RemoveStaleTempFiles(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  const time_t now = ::time(nullptr);
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name.size() <= kTempEnd.size() || name.substr(name.size() - kTempEnd.size()) != kTempEnd) continue;
    const std::size_t mark = name.rfind(kTempMark);
    if (mark == std::string_view::npos || mark == 0) continue;
    const std::string_view tail = name.substr(mark + kTempMark.size(), name.size() - mark - kTempMark.size() -
                                                                            kTempEnd.size());
    const std::size_t dash = tail.find('-');
    if (dash == std::string_view::npos || !IsDigits(tail.substr(0, dash)) || tail.size() - dash - 1 != 6) continue;
    const std::string path = Join(folder, std::string(name));
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
        now - info.st_mtime >= kStaleAge)
      RemoveIfUnlocked(path);
  }
  ::closedir(dir);
}

// A fresh name "<name>.vostrel-<pid>-<six letters>.tmp" in `folder`.
std::string TempName(const std::string& folder, const std::string& name) {
  static unsigned counter = 0;
  timespec now {};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  unsigned long mix = static_cast<unsigned long>(now.tv_nsec) ^ (static_cast<unsigned long>(now.tv_sec) << 20) ^
                      (++counter * 2654435761u);
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  char random[7];
  for (int i = 0; i < 6; ++i) {
    random[i] = kLetters[mix % 36];
    mix = mix / 36 + 7919u * counter;
  }
  random[6] = '\0';
  return Join(folder, name + std::string(kTempMark) + std::to_string(::getpid()) + "-" + random +
                          std::string(kTempEnd));
}

// The temporary file: unnamed (O_TMPFILE) where the folder's file system
// has them, else named; a name is armed for signal handlers while it exists.
class TempFile {
 public:
  TempFile(const std::string& folder, const std::string& name) : folder_(folder), name_(name) {}
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!path_.empty()) ::unlink(path_.c_str());
  }

  bool Open(std::string& why) {
#ifdef O_TMPFILE
    if (::access("/proc/self/fd", X_OK) == 0) {
      fd_ = ::open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
      if (fd_ >= 0) {
        LockFile(fd_);  // the lock stays with the file once it has a name
        return true;
      }
    }
#endif
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::string path = TempName(folder_, name_);
      if (!pending_.Arm(path)) {
        why = Reason(ENAMETOOLONG);
        return false;
      }
      fd_ = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
      if (fd_ >= 0) {
        path_ = path;
        // Locked while it is written: a save elsewhere leaves it alone. A
        // file system without locks still has the age rule.
        LockFile(fd_);
        return true;
      }
      pending_.Release();
      if (errno != EEXIST) break;
    }
    why = Reason(errno);
    return false;
  }

  int Descriptor() const { return fd_; }

  // Syncs and closes the file, and gives an unnamed one its name.
  bool Finish(std::string& why) {
    if (::fsync(fd_) != 0 && errno != EINVAL) {
      why = Reason(errno);
      return false;
    }
    if (path_.empty()) {  // unnamed: link it into the folder
      const std::string path = TempName(folder_, name_);
      if (!pending_.Arm(path)) {
        why = Reason(ENAMETOOLONG);
        return false;
      }
      path_ = path;
      const std::string self = "/proc/self/fd/" + std::to_string(fd_);
      if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        why = Reason(errno);
        path_.clear();
        pending_.Release();
        return false;
      }
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
      why = Reason(errno);
      return false;
    }
    return true;
  }

  // Renames the finished file over `target`.
  bool Replace(const std::string& target, std::string& why) {
    if (::rename(path_.c_str(), target.c_str()) != 0) {
      why = Reason(errno);
      return false;
    }
    path_.clear();
    pending_.Release();
    // The new name reaches the disk with the folder.
    const int dir = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
      ::fsync(dir);
      ::close(dir);
    }
    return true;
  }

 private:
  std::string folder_, name_;
  int fd_ = -1;
  std::string path_;  // the name while the file has one
  PendingName pending_;
};

// The file a save of `path` replaces or creates, checked against `rules`.
struct Target {
  std::string path;
  struct stat old {};
  bool exists = false;
};

bool FindTarget(const fs::path& path, SaveRules rules, Target& target, std::string& why) {
  if (path.empty()) {
    why = Reason(ENOENT);
    return false;
  }
  if (!ResolveTarget(path.native(), target.path, target.old, target.exists, why)) return false;
  if (!target.exists) return true;
  const struct stat& old = target.old;
  if (S_ISDIR(old.st_mode)) why = "it is a folder";
  else if (!S_ISREG(old.st_mode)) why = "it is not a regular file";
  else if ((old.st_mode & 0222) == 0) why = "the file is write-protected";
  else if (::access(target.path.c_str(), W_OK) != 0) why = Reason(errno);
  else if (old.st_nlink > 1 && !rules.replaceHardLinked)
    why = "the file has " + std::to_string(old.st_nlink - 1) + " other hard link(s); replacing it would cut them off";
  return why.empty();
}

}  // namespace

// Whether a new file can be made in the folder of `target` (what the
// save would say when it cannot).
bool FolderTakesNewFile(const std::string& target, std::string& why) {
  const std::string folder = FolderOf(target);
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0) why = Reason(errno);
  else if (!S_ISDIR(info.st_mode)) why = Reason(ENOTDIR);
  else if (::access(folder.c_str(), W_OK | X_OK) != 0) why = Reason(errno);
  return why.empty();
}

bool CheckReplaceable(const fs::path& path, std::string* error, SaveRules rules) {
  Target target;
  std::string why;
  // The folder is known before the work rather than after it.
  if (FindTarget(path, rules, target, why) && (target.exists || rules.createFolder || FolderTakesNewFile(target.path, why)))
    return true;
  if (error) *error = why;
  return false;
}

bool SaveFileAtomically(const fs::path& path, const std::function<bool(const ByteSink&)>& write, std::string* error,
                        SaveRules rules) {
  auto fail = [error](std::string why) {
    if (error) *error = std::move(why);
    return false;
  };
  Target found;
  std::string why;
  if (!FindTarget(path, rules, found, why)) return fail(why);
  const std::string& target = found.path;
  const struct stat& old = found.old;
  const std::string folder = FolderOf(target);
  if (rules.createFolder) {
    std::error_code ec;
    fs::create_directories(fs::path(folder), ec);
    if (ec) return fail("cannot create the folder " + folder + ": " + ec.message());
  }
  RemoveStaleTempFiles(folder);

  TempFile temp(folder, NameOf(target));
  if (!temp.Open(why)) return fail(why);
  const int fd = temp.Descriptor();
  if (found.exists) {  // owner and group first: changing them may clear the set-id bits
    if (::fchown(fd, old.st_uid, old.st_gid) != 0 && ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
      // not allowed: the file becomes this user's, as any new file would
    }
    ::fchmod(fd, old.st_mode & 07777);
  }
  int writeError = 0;
  off_t written = 0, handedOn = 0;
  const ByteSink sink = [fd, &writeError, &written, &handedOn](std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = ::write(fd, bytes.data(), bytes.size());
      if (n < 0) {
        if (errno == EINTR) continue;
        writeError = errno;
        return false;
      }
      bytes.remove_prefix(static_cast<std::size_t>(n));
      written += n;
    }
    // The disk starts on every few megabytes while the rest is written, so
    // that the sync at the end has little left to wait for.
    if (written - handedOn >= kWriteBackStep) {
      StartWriteBack(fd, handedOn, written - handedOn);
      handedOn = written;
    }
    return true;
  };
  if (!write(sink)) return fail(writeError ? Reason(writeError) : "the content could not be written");
  if (!temp.Finish(why) || !temp.Replace(target, why)) return fail(why);
  return true;
}

bool FollowWriteLinks(const fs::path& path, fs::path& target, std::string* error) {
  std::string resolved, why;
  struct stat info {};
  bool exists = false;
  if (path.empty() || !ResolveTarget(path.native(), resolved, info, exists, why)) {
    if (error) *error = path.empty() ? Reason(ENOENT) : why;
    return false;
  }
  target = resolved;
  return true;
}

bool SaveFileAtomically(const fs::path& path, std::string_view bytes, std::string* error, SaveRules rules) {
  return SaveFileAtomically(path, [bytes](const ByteSink& sink) { return sink(bytes); }, error, rules);
}

void RemovePendingTempFiles() noexcept {
  for (PendingSlot& slot : g_pending)
    if (slot.state.load() == 2) ::unlink(slot.path);
}

namespace {
extern "C" void RemoveTempFilesAndStop(int signal) {
  RemovePendingTempFiles();
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}
}  // namespace

void RemoveTempFilesOnStopSignals() {
  struct sigaction action {};
  action.sa_handler = RemoveTempFilesAndStop;
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

}  // namespace vostrel::platform
