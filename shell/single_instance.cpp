#include "shell/single_instance.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdlib>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace vostrel::gui {

namespace {
QString LockFolder() {
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && QFileInfo(QString::fromLocal8Bit(runtime)).isDir())
    return QString::fromLocal8Bit(runtime);
  return QDir::tempPath();
}

QString LockName(const QString& exeFileName, bool perUserName) {
  QString name = exeFileName + QStringLiteral(".lock");
#ifndef _WIN32
  // The temporary folder is shared by every user: keep one lock per user.
  if (perUserName) name = exeFileName + QStringLiteral("-") + QString::number(::getuid()) + QStringLiteral(".lock");
#else
  (void)perUserName;
#endif
  return name;
}
}  // namespace

std::unique_ptr<QLockFile> AcquireSingleInstance(const QString& exeFileName, const QString& folder) {
  const QString dir = folder.isEmpty() ? LockFolder() : folder;
  const bool shared = folder.isEmpty() && dir == QDir::tempPath();
  auto lock = std::make_unique<QLockFile>(QDir(dir).filePath(LockName(exeFileName, shared)));
  // Never stale by age (a run may take long); a lock whose process is gone
  // is removed by tryLock.
  lock->setStaleLockTime(0);
  if (!lock->tryLock(0)) return nullptr;
  return lock;
}

}  // namespace vostrel::gui
