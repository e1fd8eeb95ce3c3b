#pragma once
// Writing a file so that it is either whole or untouched: the bytes go to a
// temporary file in the same folder, which is synced and renamed over the
// target only when complete. Only a regular file is replaced (the rename
// would put a plain file in the place of a folder, device or pipe), and a
// write-protected file is left as it is.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

class QIODevice;

namespace vostrel::platform {

// `write` puts the content onto the open temporary file and says whether
// every write succeeded. A missing folder is created when `createFolder`
// says so. On failure `error` says why.
bool SaveFileAtomically(const std::filesystem::path& path, const std::function<bool(QIODevice&)>& write,
                        std::string* error = nullptr, bool createFolder = false);

bool SaveFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                        std::string* error = nullptr, bool createFolder = false);

}  // namespace vostrel::platform
