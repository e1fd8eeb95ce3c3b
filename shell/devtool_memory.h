#pragma once
// vostrel_devtool's account of the memory a run in the window takes: the
// peak resident memory of the idle window, at the viewer showing the
// result, and once the 経路 tab has its path.

#include <QStringList>

#include <filesystem>

namespace vostrel::gui {

class MainWindow;

// The peak resident memory of this process so far, in MB (0 where the
// system does not say).
double PeakMegabytes();

// Shows the window ready to run `source` into `outputFolder`, with the run
// options KEY=VALUE of `sets` (settings-file keys) in its settings.
void ShowReadyToRun(MainWindow& window, const QStringList& sets, const std::filesystem::path& source,
                    const std::filesystem::path& outputFolder);

// Runs `source` in the main window with the run options `sets` and prints
// the peak memory at each step, beside the source's size.
int MemoryRun(const std::filesystem::path& source, const QStringList& sets);

}  // namespace vostrel::gui
