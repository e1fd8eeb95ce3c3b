#pragma once
// The user's folders, as the system names them.

#include <filesystem>
#include <string>

namespace vostrel::platform {

// The per-user settings folder of the program: %APPDATA%\vostrel on
// Windows, $XDG_CONFIG_HOME/vostrel (by default ~/.config/vostrel)
// elsewhere; below the temporary folder when neither is known.
std::filesystem::path UserConfigFolder();

// Whether `dir` is a folder this process may create files in.
bool IsWritableFolder(const std::filesystem::path& dir);

// The folder a file dialog starts in before any file was chosen, as UTF-8:
// C:\ on Windows, the home folder elsewhere.
std::string DefaultStartFolder();

}  // namespace vostrel::platform
