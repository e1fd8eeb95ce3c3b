#pragma once
// Where the program keeps its files. The data folder is the program's own
// folder when the user may write there; otherwise, and always for a program
// installed in <prefix>/bin, the per-user settings folder
// (platform/user_folders.h: ~/.config/vostrel, %APPDATA%\vostrel). The
// settings file and a user's own word list live in the data folder.

#include <filesystem>
#include <vector>

namespace vostrel::settings {

// The data folder for a program installed in `exeDir`.
std::filesystem::path DataFolder(const std::filesystem::path& exeDir);

// The settings file of the desktop program whose executable is `exePath`:
// its base name with the extension ".INI", in the data folder.
std::filesystem::path SettingsFilePath(const std::filesystem::path& exePath);

// The word list to read: ChkData.lst in the data folder when it is there,
// else the list shipped with the program.
std::filesystem::path WordListFilePath(const std::filesystem::path& exeDir);

// The folders "..\" in an include path stands for, in the order they are
// tried: the program's own folder for a portable copy; for an installed
// program the user's data folder, then the shipped files
// (<prefix>/share/vostrel).
std::vector<std::filesystem::path> IncludeHomeFolders(const std::filesystem::path& exeDir);

}  // namespace vostrel::settings
