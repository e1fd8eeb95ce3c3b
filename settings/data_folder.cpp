#include "settings/data_folder.h"

#include "platform/app_files.h"
#include "platform/user_folders.h"

namespace vostrel::settings {

namespace fs = std::filesystem;

fs::path DataFolder(const fs::path& exeDir) {
  if (platform::IsInstalledLayout(exeDir)) return platform::UserConfigFolder();
  return platform::IsWritableFolder(exeDir) ? exeDir : platform::UserConfigFolder();
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
  return {platform::UserConfigFolder(), platform::ShippedFilesDir(exeDir)};
}

}  // namespace vostrel::settings
