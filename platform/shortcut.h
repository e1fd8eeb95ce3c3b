#pragma once
// A shortcut to the program on the user's desktop, or where the desktop
// shell offers it for sending files to (send-to folder on Windows, "Open
// with" of the file manager elsewhere). Failures stay silent: the result
// only tells tests what happened.

#include <filesystem>

namespace vostrel::platform {

enum class ShortcutPlace { Desktop, SendTo };

// The file CreateShortcut writes for `place` (empty when the folder cannot
// be found).
std::filesystem::path ShortcutPath(ShortcutPlace place);

// Writes (or rewrites) the shortcut to the executable `exePath`; true when
// the file was written.
bool CreateShortcut(ShortcutPlace place, const std::filesystem::path& exePath);

}  // namespace vostrel::platform
