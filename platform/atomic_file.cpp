#include "platform/atomic_file.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace vostrel::platform {

bool SaveFileAtomically(const std::filesystem::path& path, const std::function<bool(QIODevice&)>& write,
                        std::string* error, bool createFolder) {
  auto fail = [error](std::string why) {
    if (error) *error = std::move(why);
    return false;
  };
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
    return fail(std::filesystem::is_directory(status) ? "it is a folder" : "it is not a regular file");
  const QString name = QString::fromStdU16String(path.u16string());
  const QFileInfo info(name);
  if (createFolder && !QDir().mkpath(info.absolutePath()))
    return fail("cannot create the folder " + info.absolutePath().toStdString());
  const bool noWriteBit = !(info.permissions() & (QFileDevice::WriteOwner | QFileDevice::WriteGroup |
                                                   QFileDevice::WriteOther));
  if (info.exists() && (!info.isWritable() || noWriteBit)) return fail("the file is write-protected");

  QSaveFile file(name);
  file.setDirectWriteFallback(false);
  errno = 0;
  if (file.open(QIODevice::WriteOnly) && write(file) && file.commit()) return true;
  const int code = errno;
  // A failed write of the temporary file comes back from Qt as an unknown
  // error; the system's reason (no space left, file too large) says more.
  std::string why = file.errorString().toStdString();
  if ((why.empty() || why == "Unknown error") && code != 0) why = std::strerror(code);
  file.cancelWriting();
  return fail(why);
}

bool SaveFileAtomically(const std::filesystem::path& path, std::string_view bytes, std::string* error,
                        bool createFolder) {
  return SaveFileAtomically(
      path,
      [bytes](QIODevice& device) {
        return device.write(bytes.data(), static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size());
      },
      error, createFolder);
}

}  // namespace vostrel::platform
