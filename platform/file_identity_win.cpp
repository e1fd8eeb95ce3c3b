#include "platform/file_identity.h"

#include <windows.h>

#include "text/path_text.h"

namespace vostrel::platform {

std::optional<FileId> IdentifyFile(const std::filesystem::path& path) {
  // Opened for nothing but its attributes; folders need the backup flag.
  HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(file, &info);
  CloseHandle(file);
  if (!known) return std::nullopt;
  return FileId{info.dwVolumeSerialNumber,
                (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

// Names on Windows are compared without regard to case, whatever the file
// system keeps.
bool FolderFoldsCase(const std::filesystem::path&) { return true; }

std::string FoldedName(const std::filesystem::path& name) {
  std::wstring folded = name.native();
  if (!folded.empty()) CharUpperBuffW(folded.data(), static_cast<DWORD>(folded.size()));
  return PathToUtf8(std::filesystem::path(folded));
}

}  // namespace vostrel::platform
