#pragma once
// The files that ship beside the program and the help file it looks for.

#include <filesystem>
#include <system_error>

namespace vostrel::platform {

inline constexpr const char* kIconFileName = "vostrel.png";
inline constexpr const char* kGuideFileName = "vostrel-guide.html";
inline constexpr const char* kWordListFileName = "ChkData.lst";
// Written by the Windows installer beside the programs it installs.
inline constexpr const char* kUninstallerFileName = "uninstall.exe";

// The folder of the files shipped with the program (word list, guide,
// icon). A portable copy keeps them beside the programs; a program
// installed as <prefix>/bin/vostrel, with no word list beside it, finds them
// in <prefix>/share/vostrel.
inline std::filesystem::path ShippedFilesDir(const std::filesystem::path& exeDir) {
  std::error_code ec;
  std::filesystem::path dir = exeDir;
  if (!dir.has_filename()) dir = dir.parent_path();  // "/usr/bin/"
  const std::filesystem::path shared = dir.parent_path() / "share" / "vostrel";
  if (dir.filename() == "bin" && !std::filesystem::exists(dir / kWordListFileName, ec) &&
      std::filesystem::is_directory(shared, ec))
    return shared;
  return exeDir;
}

// True for a program installed in <prefix>/bin (see ShippedFilesDir) or by
// the Windows installer (its uninstaller lies beside the programs): its
// folder is never the place for the user's files, even where the user may
// write there.
inline bool IsInstalledLayout(const std::filesystem::path& exeDir) {
  std::error_code ec;
  return ShippedFilesDir(exeDir) != exeDir || std::filesystem::exists(exeDir / kUninstallerFileName, ec);
}

// The help file of the executable `exePath`: its base name with ".chm",
// beside it.
inline std::filesystem::path HelpFilePath(const std::filesystem::path& exePath) {
  std::filesystem::path path = exePath;
  path.replace_extension(".chm");
  return path;
}

// The help to open: the ".chm" file when it is there, else the HTML guide
// among the shipped files; empty when neither is there.
inline std::filesystem::path FindHelpFile(const std::filesystem::path& exePath) {
  std::error_code ec;
  const std::filesystem::path chm = HelpFilePath(exePath);
  if (std::filesystem::is_regular_file(chm, ec)) return chm;
  const std::filesystem::path guide = ShippedFilesDir(exePath.parent_path()) / kGuideFileName;
  if (std::filesystem::is_regular_file(guide, ec)) return guide;
  return {};
}

}  // namespace vostrel::platform
