#pragma once
// One running copy per settings file: a lock file beside the settings file
// ("vostrel.INI.lock"), so that two copies that would write the same
// settings can never both run, whatever their environment. The lock of a
// process that crashed or was killed does not count.

#include <QLockFile>
#include <QString>

#include <filesystem>
#include <memory>

namespace vostrel::gui {

struct InstanceLock {
  enum class State {
    Acquired,       // this copy runs alone on the settings file
    HeldByAnother,  // another running copy uses the settings file
    Unavailable,    // no lock can be made there: a second copy is not prevented
  };
  State state = State::Unavailable;
  std::unique_ptr<QLockFile> file;  // held while the program runs
};

InstanceLock AcquireSingleInstance(const std::filesystem::path& settingsPath);

// The status-bar line of a copy that runs without the lock (empty when
// the lock is held).
QString InstanceLockNotice(const InstanceLock& lock);

}  // namespace vostrel::gui
