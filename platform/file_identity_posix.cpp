#include "platform/file_identity.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace vostrel::platform {

namespace {

// File systems that compare names without regard to case.
constexpr unsigned long kFoldingFileSystems[] = {
    0x4d44,      // FAT (msdos, vfat)
    0x2011BAB0,  // exFAT
    0xFF534D42,  // SMB (cifs)
    0xFE534D42,  // SMB2
    0x517B,      // SMB
};

#ifndef FS_CASEFOLD_FL
#define FS_CASEFOLD_FL 0x40000000
#endif

}  // namespace

std::optional<FileId> IdentifyFile(const std::filesystem::path& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return FileId{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

bool FolderFoldsCase(const std::filesystem::path& folder) {
  const std::string name = folder.empty() ? std::string(".") : folder.native();
  struct statfs info {};
  if (::statfs(name.c_str(), &info) == 0)
    for (const unsigned long type : kFoldingFileSystems)
      if (static_cast<unsigned long>(info.f_type) == type) return true;
  // A folder of ext4 or f2fs made case-folding (chattr +F).
  const int fd = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  const bool folds = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_CASEFOLD_FL);
  ::close(fd);
  return folds;
}

std::string FoldedName(const std::filesystem::path& name) {
  std::string folded = name.native();
  for (char& c : folded)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return folded;
}

}  // namespace vostrel::platform
