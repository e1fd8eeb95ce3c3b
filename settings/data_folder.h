#pragma once
// Where the program keeps its files. The data folder is the program's own
// folder when the user may write there; otherwise the per-user settings
// folder (platform/user_folders.h: ~/.config/vostrel, %APPDATA%\vostrel). The
// settings file and a user's own word list live in the data folder.

#include <filesystem>

namespace vostrel::settings {

// The data folder for a program installed in `exeDir`.
std::filesystem::path DataFolder(const std::filesystem::path& exeDir);

// The settings file of the desktop program whose executable is `exePath`:
// its base name with the extension ".INI", in the data folder.
std::filesystem::path SettingsFilePath(const std::filesystem::path& exePath);

// The word list to read: ChkData.lst in the data folder when it is there,
// else the list shipped in the program's folder.
std::filesystem::path WordListFilePath(const std::filesystem::path& exeDir);

}  // namespace vostrel::settings
