#include "platform/user_folders.h"

#include <unistd.h>

#include <cstdlib>

namespace vostrel::platform {

namespace fs = std::filesystem;

fs::path UserConfigFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg == '/') return fs::path(xdg) / "vostrel";
  const char* home = std::getenv("HOME");
  if (home && *home) return fs::path(home) / ".config" / "vostrel";
  return fs::temp_directory_path() / "vostrel";
}

bool IsWritableFolder(const fs::path& dir) {
  std::error_code ec;
  return fs::is_directory(dir, ec) && ::access(dir.c_str(), W_OK) == 0;
}

std::string DefaultStartFolder() {
  const char* home = std::getenv("HOME");
  return home && *home == '/' ? home : "/";
}

}  // namespace vostrel::platform
