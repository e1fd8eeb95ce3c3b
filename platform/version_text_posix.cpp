// Elsewhere executables carry no version resource: the version the
// program was built as.

#include "platform/version_text.h"

#include "version.h"

namespace vostrel::platform {

std::string ReadVersionText(const std::filesystem::path& /*exePath*/) { return VOSTREL_VERSION; }

}  // namespace vostrel::platform
