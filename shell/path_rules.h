#pragma once
// Path pieces used by the main window: the folder and name of a chosen
// source, and the folder part of the target. On Linux "/" separates
// folders; on Windows "\" (and "/"), with "C:" drive names.

#include <QString>

namespace vostrel::gui {

// The folder of `path` with its trailing separator ("/home/nc/" for
// "/home/nc/A.NC"); empty when `path` has no folder.
QString FolderWithSeparator(const QString& path);
// The folder without its trailing separator, except a root ("/", "C:\").
QString FolderWithoutSeparator(const QString& path);
// A folder path without trailing separators, except a root ("/", "C:\").
QString WithoutTrailingSeparator(const QString& folder);
// The file name without folder and without its last extension.
QString NameWithoutExtension(const QString& path);
// The folder part of the target: the folder field with a separator added
// unless it ends with one already.
QString TargetFolderPart(const QString& folderField);

QChar FolderSeparator();

}  // namespace vostrel::gui
