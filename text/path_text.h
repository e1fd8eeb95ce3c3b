#pragma once
// File paths as UTF-8 text (for messages, logs and command lines).

#include <filesystem>
#include <string>
#include <string_view>

namespace vostrel {

inline std::string PathToUtf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

inline std::filesystem::path PathFromUtf8(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace vostrel
