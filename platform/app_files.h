#pragma once
// The files that ship beside the program and the help file it looks for.

#include <filesystem>
#include <system_error>

namespace vostrel::platform {

inline constexpr const char* kIconFileName = "vostrel.png";
inline constexpr const char* kGuideFileName = "vostrel-guide.html";

// The help file of the executable `exePath`: its base name with ".chm",
// beside it.
inline std::filesystem::path HelpFilePath(const std::filesystem::path& exePath) {
  std::filesystem::path path = exePath;
  path.replace_extension(".chm");
  return path;
}

// The help to open: the ".chm" file when it is there, else the HTML guide
// beside the executable; empty when neither is there.
inline std::filesystem::path FindHelpFile(const std::filesystem::path& exePath) {
  std::error_code ec;
  const std::filesystem::path chm = HelpFilePath(exePath);
  if (std::filesystem::is_regular_file(chm, ec)) return chm;
  const std::filesystem::path guide = exePath.parent_path() / kGuideFileName;
  if (std::filesystem::is_regular_file(guide, ec)) return guide;
  return {};
}

}  // namespace vostrel::platform
