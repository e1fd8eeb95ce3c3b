#include "shell/path_rules.h"

#include "settings/app_settings.h"
#include "text/sjis.h"

namespace vostrel::gui {

namespace {
#ifdef _WIN32
bool IsSeparator(QChar c) { return c == QLatin1Char('\\') || c == QLatin1Char('/'); }
#else
bool IsSeparator(QChar c) { return c == QLatin1Char('/'); }
#endif

qsizetype LastSeparator(const QString& path) {
  for (qsizetype i = path.size() - 1; i >= 0; --i)
    if (IsSeparator(path[i])) return i;
  return -1;
}
}  // namespace

QChar FolderSeparator() {
#ifdef _WIN32
  return QLatin1Char('\\');
#else
  return QLatin1Char('/');
#endif
}

QString FolderWithSeparator(const QString& path) {
  const qsizetype sep = LastSeparator(path);
#ifdef _WIN32
  if (sep < 0) {
    const qsizetype colon = path.lastIndexOf(QLatin1Char(':'));
    return colon < 0 ? QString() : path.left(colon + 1);
  }
#endif
  return sep < 0 ? QString() : path.left(sep + 1);
}

QString FolderWithoutSeparator(const QString& path) {
  QString folder = FolderWithSeparator(path);
  if (folder.isEmpty()) return folder;
  if (!IsSeparator(folder.back())) return folder;  // "C:" without a separator
  const QString bare = folder.left(folder.size() - 1);
  if (bare.isEmpty()) return folder;  // the root "/"
#ifdef _WIN32
  if (bare.size() == 2 && bare[1] == QLatin1Char(':')) return folder;  // "C:\"
#endif
  return bare;
}

QString WithoutTrailingSeparator(const QString& folder) {
  QString path = folder;
  while (path.size() > 1 && IsSeparator(path.back())) {
#ifdef _WIN32
    if (path.size() == 3 && path[1] == QLatin1Char(':')) break;  // "C:\"
#endif
    path.chop(1);
  }
  return path;
}

QString NameWithoutExtension(const QString& path) {
  qsizetype start = LastSeparator(path) + 1;
#ifdef _WIN32
  start = std::max(start, path.lastIndexOf(QLatin1Char(':')) + 1);
#endif
  const QString name = path.mid(start);
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  return dot < 0 ? name : name.left(dot);
}

QString TargetFolderPart(const QString& folder) {
#ifdef _WIN32
  // A drive such as "C:" gets its backslash; the last whole Shift-JIS
  // character decides whether the folder already ends in one.
  const std::string bytes = settings::Cp932(folder.toStdString());
  if (bytes.size() == 2) return folder + QLatin1Char('\\');
  if (sjis::EndsWithChar(bytes, '\\')) return folder;
  return folder + QLatin1Char('\\');
#else
  if (folder.endsWith(QLatin1Char('/'))) return folder;
  return folder + QLatin1Char('/');
#endif
}

}  // namespace vostrel::gui
