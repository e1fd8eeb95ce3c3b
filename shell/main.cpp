// vostrel: the desktop program.

#include <QApplication>
#include <QMessageBox>

#include <exception>

#include "gui_common/fonts.h"
#include "gui_common/window_place.h"
#include "platform/atomic_file.h"
#include "platform/exe_path.h"
#include "settings/data_folder.h"
#include "shell/desk_services.h"
#include "shell/main_window.h"
#include "shell/qt_translations.h"
#include "shell/single_instance.h"

int main(int argc, char** argv) {
  using namespace vostrel;
  const std::filesystem::path exePath = platform::ExecutablePath();
  const std::filesystem::path exeDir = platform::ExecutableDir();
  const std::filesystem::path settingsPath = settings::SettingsFilePath(exePath.empty() ? exeDir / "vostrel" : exePath);
  // A second copy on the same settings file ends at once, showing nothing.
  const gui::InstanceLock lock = gui::AcquireSingleInstance(settingsPath);
  if (lock.state == gui::InstanceLock::State::HeldByAnother) return 0;
  platform::RemoveTempFilesOnStopSignals();

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vostrel"));
  gui::InstallQtTranslations(app);
  QApplication::setFont(gui::JapaneseFont(gui::Pitch::Proportional, 9));
  QApplication::setWindowIcon(gui::ApplicationIcon(platform::ExecutableDir()));
  gui::FitEveryWindowToItsScreen(app);  // no window larger than the screen

  gui::MainWindow::Options options;
  options.exeDir = exeDir;
  options.settingsPath = settingsPath;
  options.startNotice = gui::InstanceLockNotice(lock);
  options.arguments = QApplication::arguments().mid(1);
  try {
    gui::MainWindow window(options);
    window.show();
    return app.exec();
  } catch (const std::exception& failure) {
    QMessageBox::critical(nullptr, QStringLiteral("Vostrel"), QString::fromUtf8(failure.what()));
    return 1;
  }
}
