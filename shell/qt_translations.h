#pragma once
// Qt's own dialogs (file, folder, print, message boxes) in Japanese, like
// every word of the program.

class QCoreApplication;

namespace vostrel::gui {

// Installs Qt's Japanese translations from Qt's translations folder; false
// when they are not installed there (the dialogs then stay in English).
bool InstallQtTranslations(QCoreApplication& app);

}  // namespace vostrel::gui
