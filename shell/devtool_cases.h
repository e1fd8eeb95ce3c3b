#pragma once
// vostrel_devtool's scripted runs of the end-to-end cases (tests/golden)
// through the main window and the viewer.

#include <filesystem>

namespace vostrel::gui {

// Runs the case folder `caseDir` in the window as a user would and saves
// the result from the viewer: OUT/out.nc (when the viewer showed one) and
// OUT/log.txt (the run log and the messages shown, UTF-8). 77 for a case
// with options only vostrelc has.
int CompileCase(const std::filesystem::path& caseDir, const std::filesystem::path& out);

// Runs the case and prints its result from the viewer into the PDF file
// `pdf` (A4, every page, a fixed date).
int PrintCase(const std::filesystem::path& caseDir, const std::filesystem::path& pdf);

// Prints the Japanese families the windows use, "(none)" for a pitch
// without one.
int ListFonts();

}  // namespace vostrel::gui
