#pragma once
// The main window as the window tests drive it: its own settings file in a
// scratch folder, scripted message boxes, and helpers to fill the fields,
// press "開始" and act in the viewer while it is shown.

#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "gui_common/scripted_prompts.h"
#include "shell/busy_indicator.h"
#include "shell/main_window.h"
#include "tests/test_support.h"
#include "viewer/viewer_dialog.h"

namespace vostrel::gui::window_test {

inline QString Q(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

struct Window {
  vostrel::test::TempDir dir;
  ScriptedPrompts prompts;
  std::unique_ptr<MainWindow> window;

  explicit Window(QStringList arguments = {}, const std::string& ini = {}) {
    if (!ini.empty()) vostrel::test::WriteFile(dir / "vostrel.INI", ini);
    Open(std::move(arguments));
  }

  // (Re)creates the window, as a new start of the program would.
  void Open(QStringList arguments = {}) {
    MainWindow::Options options;
    options.settingsPath = dir / "vostrel.INI";
    options.exeDir = dir.path();
    options.arguments = std::move(arguments);
    options.prompts = &prompts;
    options.wordListPath = VOSTREL_WORD_LIST;
    window = std::make_unique<MainWindow>(std::move(options));
  }

  void Fill(const QString& source, const QString& folder, const QString& name, const QString& ext) {
    window->SourceField->setText(source);
    window->OutputFolderField->setText(folder);
    window->OutputNameField->setText(name);
    window->OutputExtensionField->setText(ext);
  }
  QStringList Fields() const {
    return {window->SourceField->text(), window->OutputFolderField->text(), window->OutputNameField->text(),
            window->OutputExtensionField->text()};
  }
  std::string DirPath() const { return window->Settings().DirPath; }

  // Presses 開始; `inViewer` runs while the viewer is shown, then the viewer
  // is left with "戻る" (`back`) or its close box.
  bool viewerShown = false;
  std::pair<bool, bool> ButtonsWhileShowing{true, true};
  void Start(std::function<void(ViewerDialog&)> inViewer = {}, bool back = true) {
    viewerShown = false;
    QTimer::singleShot(0, window.get(), [&] { WatchViewer(inViewer, back); });
    window->StartCompile();
  }
  void WatchViewer(std::function<void(ViewerDialog&)> inViewer, bool back) {
    ViewerDialog* viewer = window->Viewer();
    if (window->Running() && !viewer->isVisible()) {  // the run goes on: look again soon
      QTimer::singleShot(5, window.get(), [=, this] { WatchViewer(inViewer, back); });
      return;
    }
    if (!viewer->isVisible()) return;
    viewerShown = true;
    ButtonsWhileShowing = {window->StartButton->isEnabled(), window->ExitButton->isEnabled()};
    if (inViewer) inViewer(*viewer);
    if (back) viewer->BackButton->click();
    else viewer->close();
  }

  bool Idle() const {
    return window->StartButton->isEnabled() && !window->CancelButton->isEnabled() && window->ExitButton->isEnabled() &&
           !window->ScreenSaverInhibited() && !window->BusyAnimation->isVisible();
  }
};

}  // namespace vostrel::gui::window_test
