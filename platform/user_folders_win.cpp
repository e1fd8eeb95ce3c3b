#include "platform/user_folders.h"

#include <io.h>

#include <cstdlib>

namespace vostrel::platform {

namespace fs = std::filesystem;

fs::path UserConfigFolder() {
  const wchar_t* base = _wgetenv(L"APPDATA");
  if (base && *base) return fs::path(base) / "vostrel";
  return fs::temp_directory_path() / "vostrel";
}

bool IsWritableFolder(const fs::path& dir) {
  std::error_code ec;
  return fs::is_directory(dir, ec) && _waccess(dir.c_str(), 2) == 0;
}

std::string DefaultStartFolder() { return "C:\\"; }

}  // namespace vostrel::platform
