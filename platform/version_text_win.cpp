// Windows: the FileVersion string of the executable's version resource.

#include "platform/version_text.h"

#include <windows.h>

#include <cstdio>
#include <vector>

namespace vostrel::platform {

std::string ReadVersionText(const std::filesystem::path& exePath) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(exePath.c_str(), &handle);
  if (size == 0) return {};
  std::vector<unsigned char> buffer(size, 0);
  if (!GetFileVersionInfoW(exePath.c_str(), 0, size, buffer.data())) return {};
  struct Translation {
    WORD language;
    WORD codePage;
  };
  Translation* translation = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(buffer.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                      &length) ||
      length < sizeof(Translation))
    return {};
  wchar_t query[64];
  std::swprintf(query, 64, L"\\StringFileInfo\\%04x%04x\\FileVersion", translation->language,
                translation->codePage);
  wchar_t* value = nullptr;
  if (!VerQueryValueW(buffer.data(), query, reinterpret_cast<void**>(&value), &length) || !value) return {};
  std::string text;
  for (const wchar_t* c = value; *c; ++c) text += static_cast<char>(*c < 0x80 ? *c : '?');
  return text;
}

}  // namespace vostrel::platform
