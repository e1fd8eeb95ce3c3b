#include "shell/single_instance.h"

namespace vostrel::gui {

InstanceLock AcquireSingleInstance(const std::filesystem::path& settingsPath) {
  InstanceLock lock;
  std::error_code ec;
  std::filesystem::create_directories(settingsPath.parent_path(), ec);  // a first start's settings folder
  std::filesystem::path lockPath = settingsPath;
  lockPath += ".lock";
  lock.file = std::make_unique<QLockFile>(QString::fromStdU16String(lockPath.u16string()));
  // Never stale by age (a run may take long); a lock whose process is gone
  // is removed by tryLock.
  lock.file->setStaleLockTime(0);
  if (lock.file->tryLock(0)) {
    lock.state = InstanceLock::State::Acquired;
  } else {
    lock.state = lock.file->error() == QLockFile::LockFailedError ? InstanceLock::State::HeldByAnother
                                                                   : InstanceLock::State::Unavailable;
    lock.file.reset();
  }
  return lock;
}

QString InstanceLockNotice(const InstanceLock& lock) {
  if (lock.state == InstanceLock::State::Acquired) return {};
  return QStringLiteral("ﾛｯｸﾌｧｲﾙを作成できないため、二重起動は防止されません");
}

}  // namespace vostrel::gui
