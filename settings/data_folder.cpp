#include "settings/data_folder.h"

#include <cstdlib>

#include "platform/app_files.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace vostrel::settings {

namespace fs = std::filesystem;

namespace {
bool IsWritableFolder(const fs::path& dir) {
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return false;
#ifdef _WIN32
  return _waccess(dir.c_str(), 2) == 0;
#else
  return ::access(dir.c_str(), W_OK) == 0;
#endif
}
}  // namespace

fs::path UserConfigFolder() {
#ifdef _WIN32
  const char* base = std::getenv("APPDATA");
  if (base && *base) return fs::path(base) / "vostrel";
#else
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg == '/') return fs::path(xdg) / "vostrel";
  const char* home = std::getenv("HOME");
  if (home && *home) return fs::path(home) / ".config" / "vostrel";
#endif
  return fs::temp_directory_path() / "vostrel";
}

fs::path DataFolder(const fs::path& exeDir) {
  if (platform::IsInstalledLayout(exeDir)) return UserConfigFolder();
  return IsWritableFolder(exeDir) ? exeDir : UserConfigFolder();
}

fs::path SettingsFilePath(const fs::path& exePath) {
  fs::path name = exePath.filename();
  name.replace_extension(".INI");
  return DataFolder(exePath.parent_path()) / name;
}

fs::path WordListFilePath(const fs::path& exeDir) {
  const fs::path own = DataFolder(exeDir) / platform::kWordListFileName;
  std::error_code ec;
  if (fs::exists(own, ec)) return own;
  return platform::ShippedFilesDir(exeDir) / platform::kWordListFileName;
}

std::vector<fs::path> IncludeHomeFolders(const fs::path& exeDir) {
  if (!platform::IsInstalledLayout(exeDir)) return {exeDir};
  return {UserConfigFolder(), platform::ShippedFilesDir(exeDir)};
}

}  // namespace vostrel::settings
