// vostrel_devtool's scripted runs of the end-to-end cases through the
// window, so that one build (Linux, or Windows under Wine) can be held to
// another byte for byte.

#include "shell/devtool_cases.h"

#include <QApplication>
#include <QDateTime>
#include <QFontDatabase>
#include <QPrinter>
#include <QPushButton>
#include <QLineEdit>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <utility>

#include "gui_common/fonts.h"
#include "gui_common/scripted_prompts.h"
#include "shell/main_window.h"
#include "viewer/line_text_view.h"
#include "viewer/listing_printer.h"
#include "viewer/viewer_dialog.h"

namespace vostrel::gui {

namespace fs = std::filesystem;

namespace {

constexpr int kNotForTheWindow = 77;

QString Q(const fs::path& path) { return QString::fromStdString(path.string()); }

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteText(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// What the window makes of a case's vostrelc arguments: run options go into
// the settings file, #IF words onto the command line, the word list is
// named. False for arguments that only vostrelc has.
struct WindowRun {
  fs::path source;
  std::string settings;  // the [Options] section
  QStringList words;
  fs::path wordList;
};

bool ReadCase(const fs::path& caseDir, WindowRun& run) {
  const std::string shippedList = "{case}/../../../data/ChkData.lst";
  run.wordList = caseDir / "../../../data/ChkData.lst";
  if (fs::exists(caseDir / "setup")) return false;
  if (fs::exists(caseDir / "expected.status") && ReadText(caseDir / "expected.status").find('2') != std::string::npos)
    return false;  // usage and file errors of vostrelc
  std::vector<std::string> args = {"-o", "{out}", "{case}/source.nc"};
  if (fs::exists(caseDir / "args")) {
    args.clear();
    std::istringstream lines(ReadText(caseDir / "args"));
    for (std::string line; std::getline(lines, line);)
      if (!line.empty()) args.push_back(line);
  }
  run.settings = "[Options]\r\n";
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "-o" && hasValue && args[i + 1] == "{out}") {
      ++i;
    } else if (arg == "--set" && hasValue) {
      run.settings += args[++i] + "\r\n";
    } else if (arg == "-a" && hasValue) {
      run.words << QString::fromStdString(args[++i]);
    } else if (arg == "--word-list" && hasValue && args[i + 1] == shippedList) {
      ++i;
    } else if (arg.rfind("{case}/", 0) == 0 && run.source.empty()) {
      run.source = caseDir / arg.substr(7);
    } else {
      return false;
    }
  }
  return !run.source.empty() && fs::exists(run.source);
}

QString Lines(const LineTextView& view) {
  QString text;
  for (int i = 0; i < view.LineCount(); ++i) text += view.LineText(i) + QLatin1Char('\n');
  return text;
}

// Runs the case in a main window of its own (settings in `scratch`), output
// into `out` as out.nc; `inViewer` acts while the viewer shows the result.
// Returns the run log and the messages shown, as text.
QString RunInWindow(const WindowRun& run, const fs::path& scratch, const fs::path& out,
                    const std::function<void(ViewerDialog&)>& inViewer) {
  fs::create_directories(scratch);
  WriteText(scratch / "vostrel.INI", run.settings);
  ScriptedPrompts prompts;  // every question answered yes, as vostrelc does
  MainWindow::Options options;
  options.settingsPath = scratch / "vostrel.INI";
  options.exeDir = scratch;
  options.arguments = run.words;
  options.prompts = &prompts;
  options.wordListPath = run.wordList;
  MainWindow window(options);
  window.show();
  window.SelectSource(Q(run.source));
  window.OutputFolderField->setText(Q(out));
  window.OutputNameField->setText(QStringLiteral("out"));
  window.OutputExtensionField->setText(QStringLiteral("nc"));

  QString log;
  std::function<void()> watch = [&] {
    ViewerDialog* viewer = window.Viewer();
    if (!viewer->isVisible()) {
      if (window.Running()) QTimer::singleShot(5, &window, watch);
      return;
    }
    log = Lines(*viewer->LogView);
    inViewer(*viewer);
    viewer->close();
  };
  QTimer::singleShot(0, &window, watch);
  window.StartCompile();
  if (log.isEmpty()) log = Lines(*window.LogView);  // stopped before the viewer
  for (const auto& shown : prompts.shown) log += QStringLiteral("message: ") + shown.caption + ": " + shown.text + "\n";
  window.close();
  return log;
}

}  // namespace

int CompileCase(const fs::path& caseDir, const fs::path& out) {
  WindowRun run;
  if (!ReadCase(caseDir, run)) return kNotForTheWindow;
  const QString log = RunInWindow(run, out / "scratch", out, [](ViewerDialog& viewer) { viewer.SaveButton->click(); });
  WriteText(out / "log.txt", log.toStdString());
  fs::remove_all(out / "scratch");
  return 0;
}

int PrintCase(const fs::path& caseDir, const fs::path& pdf) {
  WindowRun run;
  if (!ReadCase(caseDir, run)) return kNotForTheWindow;
  const fs::path scratch = pdf.parent_path() / "print-scratch";
  bool printed = false;
  RunInWindow(run, scratch, scratch, [&](ViewerDialog& viewer) {
    ListingPrinter& printer = *viewer.Printing;
    printer.Printer().setOutputFormat(QPrinter::PdfFormat);
    printer.Printer().setOutputFileName(Q(pdf));
    printer.Printer().setPageSize(QPageSize(QPageSize::A4));
    printer.SetClock([] { return QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9)); });
    printer.SetPrintDialog([&](QPrinter&, int, bool, QWidget*) -> std::optional<bool> {
      printed = true;
      return false;  // every page
    });
    // The header names the file: the same name on every system.
    printer.PrintCommand(*viewer.ResultView, QStringLiteral("PRINT.NC"), &viewer);
  });
  fs::remove_all(scratch);
  return printed && fs::exists(pdf) ? 0 : 1;
}

int ListFonts() {
  for (const auto& [name, pitch] : {std::pair{"proportional", Pitch::Proportional}, std::pair{"fixed", Pitch::Fixed}}) {
    const QString family = JapaneseFamily(pitch);
    std::printf("%s: %s\n", name, family.isEmpty() ? "(none)" : qUtf8Printable(family));
  }
  std::printf("japanese families: %lld\n",
              static_cast<long long>(QFontDatabase::families(QFontDatabase::Japanese).size()));
  return 0;
}

}  // namespace vostrel::gui
