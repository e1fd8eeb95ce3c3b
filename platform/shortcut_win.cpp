// Shortcuts as shell links "Vostrel.lnk" on the desktop and in the send-to
// folder.

#include "platform/shortcut.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <windows.h>

namespace vostrel::platform {

namespace fs = std::filesystem;

fs::path ShortcutPath(ShortcutPlace place) {
  wchar_t folder[MAX_PATH] = {};
  const int csidl = place == ShortcutPlace::Desktop ? CSIDL_DESKTOPDIRECTORY : CSIDL_SENDTO;
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder))) return {};
  return fs::path(folder) / L"Vostrel.lnk";
}

bool CreateShortcut(ShortcutPlace place, const fs::path& exePath) {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return false;
  bool written = false;
  IShellLinkW* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      const fs::path path = ShortcutPath(place);
      if (!path.empty() && path.native().size() < MAX_PATH) {
        link->SetPath(exePath.c_str());
        link->SetIconLocation(exePath.c_str(), 0);
        link->SetWorkingDirectory(exePath.parent_path().c_str());
        written = SUCCEEDED(file->Save(path.c_str(), TRUE));
      }
      file->Release();
    }
    link->Release();
  }
  CoUninitialize();
  return written;
}

}  // namespace vostrel::platform
