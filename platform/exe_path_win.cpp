#include "platform/exe_path.h"

#include <windows.h>

#include <vector>

namespace vostrel::platform {

std::filesystem::path ExecutablePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return std::filesystem::path(std::wstring(buffer.data(), n));
    buffer.resize(buffer.size() * 2);
  }
}

std::filesystem::path ExecutableDir() {
  const auto path = ExecutablePath();
  if (path.empty()) return std::filesystem::current_path();
  return path.parent_path();
}

}  // namespace vostrel::platform
