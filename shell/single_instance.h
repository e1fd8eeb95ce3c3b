#pragma once
// One running copy per user: a lock file named after the executable's file
// name in the user's runtime folder (the temporary folder when there is
// none). The lock of a process that crashed or was killed does not count.

#include <QLockFile>
#include <QString>

#include <memory>

namespace vostrel::gui {

// The lock for `exeFileName` in `folder` (empty: the runtime folder), or
// nullptr when another running process holds it.
std::unique_ptr<QLockFile> AcquireSingleInstance(const QString& exeFileName, const QString& folder = {});

}  // namespace vostrel::gui
