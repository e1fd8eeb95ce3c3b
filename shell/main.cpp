// vostrel: the desktop program.

#include <QApplication>
#include <QMessageBox>

#include <exception>

#include "platform/atomic_file.h"
#include "platform/exe_path.h"
#include "settings/data_folder.h"
#include "shell/desk_services.h"
#include "shell/fonts.h"
#include "shell/main_form.h"
#include "shell/single_instance.h"

int main(int argc, char** argv) {
  using namespace vostrel;
  const std::filesystem::path exePath = platform::ExecutablePath();
  const QString exeName = exePath.empty() ? QStringLiteral("vostrel")
                                          : QString::fromStdU16String(exePath.filename().u16string());
  // A second copy of the program ends at once, showing nothing.
  const auto lock = gui::AcquireSingleInstance(exeName);
  if (!lock) return 0;
  platform::RemoveTempFilesOnStopSignals();

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vostrel"));
  QApplication::setFont(gui::JapaneseFont(gui::Pitch::Proportional, 9));
  QApplication::setWindowIcon(gui::ApplicationIcon(platform::ExecutableDir()));

  gui::TMainForm::Options options;
  options.exeDir = platform::ExecutableDir();
  options.settingsPath = settings::SettingsFilePath(exePath.empty() ? options.exeDir / "vostrel" : exePath);
  options.arguments = QApplication::arguments().mid(1);
  try {
    gui::TMainForm form(options);
    form.show();
    return app.exec();
  } catch (const std::exception& failure) {
    QMessageBox::critical(nullptr, QStringLiteral("Vostrel"), QString::fromUtf8(failure.what()));
    return 1;
  }
}
