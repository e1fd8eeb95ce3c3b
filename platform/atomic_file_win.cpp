#include "platform/atomic_file.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>

#include <system_error>

namespace vostrel::platform {

bool CheckReplaceable(const std::filesystem::path& path, std::string* error, SaveRules rules) {
  auto fail = [error](std::string why) {
    if (error) *error = std::move(why);
    return false;
  };
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (!std::filesystem::exists(status)) return true;
  if (!std::filesystem::is_regular_file(status))
    return fail(std::filesystem::is_directory(status) ? "it is a folder" : "it is not a regular file");
  if (!rules.replaceHardLinked && std::filesystem::hard_link_count(path, ec) > 1)
    return fail("the file has other hard links; replacing it would cut them off");
  if (!QFileInfo(QString::fromStdU16String(path.u16string())).isWritable())
    return fail("the file is write-protected");
  return true;
}

bool SaveFileAtomically(const std::filesystem::path& path, const std::function<bool(const ByteSink&)>& write,
                        std::string* error, SaveRules rules) {
  auto fail = [error](std::string why) {
    if (error) *error = std::move(why);
    return false;
  };
  if (!CheckReplaceable(path, error, rules)) return false;
  const QString name = QString::fromStdU16String(path.u16string());
  const QFileInfo info(name);
  if (rules.createFolder && !QDir().mkpath(info.absolutePath()))
    return fail("cannot create the folder " + info.absolutePath().toStdString());

  QSaveFile file(name);
  file.setDirectWriteFallback(false);
  const ByteSink sink = [&file](std::string_view bytes) {
    return file.write(bytes.data(), static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size());
  };
  if (file.open(QIODevice::WriteOnly) && write(sink) && file.commit()) return true;
  std::string why = file.errorString().toStdString();
  file.cancelWriting();
  return fail(why.empty() ? "the file could not be written" : why);
}

bool SaveFileAtomically(const std::filesystem::path& path, std::string_view bytes, std::string* error,
                        SaveRules rules) {
  return SaveFileAtomically(path, [bytes](const ByteSink& sink) { return sink(bytes); }, error, rules);
}

// Windows names its temporary files itself and removes them on failure.
void RemovePendingTempFiles() noexcept {}
void RemoveTempFilesOnStopSignals() {}

}  // namespace vostrel::platform
