#include "platform/exe_path.h"

#include <system_error>

namespace vostrel::platform {

std::filesystem::path ExecutablePath() {
  std::error_code ec;
  auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : path;
}

std::filesystem::path ExecutableDir() {
  const auto path = ExecutablePath();
  if (path.empty()) return std::filesystem::current_path();
  return path.parent_path();
}

}  // namespace vostrel::platform
