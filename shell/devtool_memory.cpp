#include "shell/devtool_memory.h"

#include <QApplication>
#include <QLineEdit>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

#include "gui_common/scripted_prompts.h"
#include "platform/exe_path.h"
#include "shell/main_window.h"
#include "viewer/toolpath_tab.h"
#include "viewer/viewer_dialog.h"

namespace vostrel::gui {

namespace fs = std::filesystem;

double PeakMegabytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  return 0;
}

namespace {

// Starts the peak resident memory afresh from the present one (Linux).
bool ResetPeak() { return static_cast<bool>(std::ofstream("/proc/self/clear_refs") << "5"); }

}  // namespace

void ShowReadyToRun(MainWindow& window, const QStringList& sets, const fs::path& source, const fs::path& outputFolder) {
  for (const QString& set : sets) {
    const qsizetype eq = set.indexOf('=');
    if (std::string* field = window.Settings().Run.Find(set.left(eq).toStdString()))
      *field = set.mid(eq + 1).toStdString();
  }
  window.show();
  window.SelectSource(QString::fromStdString(source.string()));
  window.OutputFolderField->setText(QString::fromStdString(outputFolder.string()));
  QApplication::processEvents();
}

int MemoryRun(const fs::path& source, const QStringList& sets) {
  std::error_code ec;
  const double sourceMegabytes = static_cast<double>(fs::file_size(source, ec)) / 1048576.0;
  if (ec) {
    std::fprintf(stderr, "%s: %s\n", source.string().c_str(), ec.message().c_str());
    return 1;
  }
  const fs::path scratch = fs::temp_directory_path() / ("vostrel-memory-" + std::to_string(QCoreApplication::applicationPid()));
  fs::create_directories(scratch);
  ScriptedPrompts prompts;
  MainWindow::Options options;
  options.settingsPath = scratch / "vostrel.INI";
  options.exeDir = platform::ExecutableDir();
  options.prompts = &prompts;
  double idle = 0;
  {
    MainWindow window(options);
    ShowReadyToRun(window, sets, source, scratch);
    idle = PeakMegabytes();
    std::printf("source %.1f MB; idle window %.1f MB\n", sourceMegabytes, idle);
    // Two runs: the second one starts with the first one's result in the
    // viewer; its peak is counted from the first time the run lets events
    // run after the viewer let its result go.
    for (int run = 1; run <= 2; ++run) {
      std::function<void()> resetOnStart = [&] {
        if (window.Viewer()->Result().empty()) ResetPeak();
        else if (window.Running()) QTimer::singleShot(1, &window, resetOnStart);
      };
      if (run == 2) QTimer::singleShot(0, &window, resetOnStart);
      double shown = 0, withPath = 0;
      std::size_t moves = 0;
      bool viewerShown = false;
      std::function<void()> check = [&] {
        if (!window.Viewer()->isVisible()) {
          if (window.Running()) QTimer::singleShot(1, &window, check);
          return;
        }
        QApplication::processEvents();
        viewerShown = true;
        shown = PeakMegabytes();
        window.Viewer()->PathTab->WaitForPath();
        withPath = PeakMegabytes();
        if (const auto* path = window.Viewer()->PathTab->Path())
          moves = path->motions.size();
        window.Viewer()->close();
      };
      QTimer::singleShot(0, &window, check);
      window.StartCompile();
      if (!viewerShown) {
        std::fprintf(stderr, "the run ended without the viewer\n");
        fs::remove_all(scratch);
        return 1;
      }
      std::printf("run %d: peak at the viewer shown %.1f MB, %.1f MB above idle (%.2f x source); "
                  "with its path of %zu moves (%.1f MB of them) %.1f MB, %.1f MB above idle (%.2f x source)\n",
                  run, shown, shown - idle, (shown - idle) / sourceMegabytes, moves,
                  static_cast<double>(moves * sizeof(toolpath::Motion)) / 1048576.0, withPath, withPath - idle,
                  (withPath - idle) / sourceMegabytes);
    }
  }
  fs::remove_all(scratch);
  return 0;
}

}  // namespace vostrel::gui
