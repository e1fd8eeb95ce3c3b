#pragma once
// The program's version text, as shown in the main window's caption and
// the about box.

#include <filesystem>
#include <string>

namespace vostrel::platform {

// The version text of the executable at `exePath` (e.g. "1.20.0.0"): on
// Windows the FileVersion string of its version resource, elsewhere the
// version the program was built as. Empty when it cannot be read.
std::string ReadVersionText(const std::filesystem::path& exePath);

}  // namespace vostrel::platform
