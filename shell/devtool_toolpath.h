#pragma once
// vostrel_devtool's looks at the viewer's 経路 tab: screenshots of real
// programs in every view with the links at work, and the timings of a
// large program's tab.

#include <QStringList>

#include <cstddef>
#include <filesystem>

namespace vostrel::gui {

// Runs each of `files` in the window and saves, into `out`, the 経路 tab in
// each view, after a click on a move (the result tab with the caret on its
// line too) and the source view a double click opens.
int ToolpathShots(const std::filesystem::path& out, const QStringList& files);

// Runs a generated CAM program of `lines` lines in the window and times the
// 経路 tab: from the hand-off to the path drawn, then the frames of wheel
// zooms and drag pans; the execution alone is the yardstick.
int ToolpathBench(std::size_t lines);

}  // namespace vostrel::gui
