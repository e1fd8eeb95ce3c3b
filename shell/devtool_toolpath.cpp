#include "shell/devtool_toolpath.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>

#include "gen_cam.h"
#include "gui_common/scripted_prompts.h"
#include "platform/exe_path.h"
#include "shell/finding_navigator.h"
#include "shell/main_window.h"
#include "toolpath/toolpath.h"
#include "viewer/line_text_view.h"
#include "viewer/listing_printer.h"
#include "viewer/source_view.h"
#include "viewer/toolpath_tab.h"
#include "viewer/toolpath_view.h"
#include "viewer/viewer_dialog.h"

namespace vostrel::gui {

namespace fs = std::filesystem;
namespace tp = vostrel::toolpath;

namespace {

fs::path Scratch() {
  fs::path dir = fs::temp_directory_path() / ("vostrel-toolpath-" + std::to_string(QCoreApplication::applicationPid()));
  fs::create_directories(dir);
  return dir;
}

void Save(QWidget* widget, const fs::path& file) {
  widget->grab().save(QString::fromStdString(file.string()));
  std::printf("%s\n", file.string().c_str());
}

// Runs `source` in `window` and calls `withViewer` once the viewer shows
// the result; the viewer is closed after it.
void RunInWindow(MainWindow& window, const fs::path& source, const fs::path& scratch,
                 const std::function<void(ViewerDialog&)>& withViewer) {
  window.SelectSource(QString::fromStdString(source.string()));
  window.OutputFolderField->setText(QString::fromStdString(scratch.string()));
  window.OutputNameField->setText(QStringLiteral("out"));
  QApplication::processEvents();
  std::function<void()> check = [&] {
    if (!window.Viewer()->isVisible()) return void(QTimer::singleShot(1, check));
    QApplication::processEvents();
    withViewer(*window.Viewer());
    window.Viewer()->close();
  };
  QTimer::singleShot(0, check);
  window.StartCompile();
}

struct Window {
  fs::path scratch = Scratch();
  ScriptedPrompts prompts;
  MainWindow::Options options;
  std::unique_ptr<MainWindow> window;
  Window() {
    options.settingsPath = scratch / "vostrel.INI";
    options.exeDir = platform::ExecutableDir();
    options.prompts = &prompts;
    window = std::make_unique<MainWindow>(options);
    window->show();
  }
  ~Window() {
    window.reset();
    std::error_code ec;
    fs::remove_all(scratch, ec);
  }
};

// Lets events run until the view's picture is drawn for the view as it is.
void WaitForPicture(ToolpathView& view) {
  QElapsedTimer waited;
  waited.start();
  while (!view.PictureCurrent() && waited.elapsed() < 60000) {
    view.repaint();
    QApplication::processEvents(QEventLoop::AllEvents, 5);
  }
}

// A move near the middle of the program that is long in the view.
std::int64_t MoveToClick(const ToolpathView& view) {
  const auto& motions = view.Path()->motions;
  std::int64_t best = -1;
  double longest = 0;
  const std::size_t middle = motions.size() / 2, reach = std::min<std::size_t>(motions.size() / 2, 2000);
  for (std::size_t i = middle - std::min(middle, reach); i < std::min(motions.size(), middle + reach); ++i) {
    if (motions[i].type == tp::MotionType::Rapid) continue;
    const QPointF a = view.ToWindow(motions[i].from), b = view.ToWindow(motions[i].to);
    const double length = std::hypot(a.x() - b.x(), a.y() - b.y());
    if (length > longest) longest = length, best = static_cast<std::int64_t>(i);
  }
  return best;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int ToolpathShots(const fs::path& out, const QStringList& files) {
  fs::create_directories(out);
  Window w;
  for (const QString& file : files) {
    const fs::path source = file.toStdString();
    const std::string stem = source.stem().string();
    RunInWindow(*w.window, source, w.scratch, [&](ViewerDialog& viewer) {
      viewer.Tabs->setCurrentWidget(viewer.PathTab);
      ToolpathTab& tab = *viewer.PathTab;
      tab.WaitForPath();
      QApplication::processEvents();
      if (!tab.HasPath()) return;
      std::printf("%s: %zu moves, %zu findings\n", stem.c_str(), tab.Path()->motions.size(),
                  tab.Path()->findings.size());
      for (QAbstractButton* button : tab.ViewButtons->buttons()) {
        button->click();
        WaitForPicture(*tab.View);
        Save(&viewer, out / (stem + "_" + button->text().toLower().toStdString() + ".png"));
      }
      // The ISO view printed to a PDF file and saved as SVG and PNG.
      viewer.Printing->Printer().setOutputFormat(QPrinter::PdfFormat);
      viewer.Printing->Printer().setOutputFileName(QString::fromStdString((out / (stem + "_print.pdf")).string()));
      viewer.Printing->SetPrintDialog([](QPrinter&, int, bool, QWidget*) -> std::optional<bool> { return false; });
      viewer.PrintButton->click();
      tab.SaveSvg(QString::fromStdString((out / (stem + "_iso.svg")).string()));
      tab.SavePng(QString::fromStdString((out / (stem + "_export.png")).string()));
      tab.ViewButtons->buttons().front()->click();
      QApplication::processEvents();
      // The desktop as the window manager shows it.
      const fs::path desktop = out / (stem + "_desktop.png");
      if (QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                                       QString::fromStdString(desktop.string())}) == 0)
        std::printf("%s\n", desktop.string().c_str());
      const std::int64_t move = MoveToClick(*tab.View);
      if (move < 0) return;
      const tp::Motion& m = tab.Path()->motions[static_cast<std::size_t>(move)];
      const QPointF a = tab.View->ToWindow(m.from), b = tab.View->ToWindow(m.to);
      const QPoint at = ((a + b) / 2).toPoint();
      QTest::mouseClick(tab.View, Qt::LeftButton, {}, at);
      WaitForPicture(*tab.View);
      const std::int64_t hit = tab.View->CurrentMove();
      std::printf("  click at (%d, %d): move %lld of line %d; caret on line %d\n", at.x(), at.y(),
                  static_cast<long long>(hit), hit >= 0 ? tab.Path()->motions[static_cast<std::size_t>(hit)].line : 0,
                  viewer.ResultView->SelectionStart().line + 1);
      Save(&viewer, out / (stem + "_click.png"));
      viewer.Tabs->setCurrentWidget(viewer.ResultTab);
      QApplication::processEvents();
      Save(&viewer, out / (stem + "_caret.png"));
      viewer.Tabs->setCurrentWidget(viewer.PathTab);
      QApplication::processEvents();
      QTest::mouseDClick(tab.View, Qt::LeftButton, {}, at);
      QApplication::processEvents();
      if (SourceView* view = w.window->Findings()->View(); view && view->isVisible()) {
        std::printf("  double click: %s\n", view->PlaceLabel->text().toStdString().c_str());
        Save(view, out / (stem + "_source.png"));
        view->close();
      }
    });
  }
  return 0;
}

int ToolpathBench(std::size_t lines) {
  Window w;
  const fs::path source = w.scratch / "cam.nc";
  {
    const std::string program = bench::GenerateCamProgram(lines);
    std::ofstream(source, std::ios::binary).write(program.data(), static_cast<std::streamsize>(program.size()));
  }
  RunInWindow(*w.window, source, w.scratch, [](ViewerDialog&) {});
  ViewerDialog& viewer = *w.window->Viewer();
  ToolpathTab& tab = *viewer.PathTab;
  tab.WaitForPath();

  // The yardstick: the execution alone, on this thread.
  const std::string joined = JoinLines(viewer.Result());
  const std::vector<std::string_view> programLines = tp::SplitProgramLines(joined);
  QElapsedTimer clock;
  clock.start();
  const tp::Result yardstick = tp::Run(programLines);
  const double runMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;

  // The hand-off as a run makes it, the tab chosen at once: until drawn.
  TextLines result = viewer.Result();
  double handOffMs = 0, shownMs = 0, firstPictureMs = 0, openMs = 0, firstDrawMs = 0;
  std::vector<double> zoomMs, panMs, drawMs;
  QTimer::singleShot(0, [&] {
    (void)QTest::qWaitForWindowExposed(&viewer);
    clock.start();
    viewer.HandOff(std::move(result), {"----- ﾛｸﾞ -----"}, source.string());
    handOffMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    viewer.Tabs->setCurrentWidget(viewer.PathTab);
    tab.WaitForPath();
    viewer.repaint();
    shownMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    while (!tab.View->HasPicture() && clock.elapsed() < 60000) QApplication::processEvents(QEventLoop::AllEvents, 5);
    firstPictureMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    WaitForPicture(*tab.View);
    openMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    firstDrawMs = tab.View->LastDrawMilliseconds();

    ToolpathView& view = *tab.View;
    const QPointF centre(view.width() / 2.0, view.height() / 2.0);
    for (int i = 0; i < 24; ++i) {  // in twelve steps, out twelve
      const int delta = i < 12 ? 120 : -120;
      const QPointF at = centre + QPointF(37 * (i % 5) - 74, 23 * (i % 3) - 23);
      QWheelEvent wheel(at, view.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                        Qt::NoScrollPhase, false);
      clock.start();
      QApplication::sendEvent(&view, &wheel);
      view.repaint();
      zoomMs.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
      if (i % 6 == 5) {  // a pause: the picture is drawn anew
        WaitForPicture(view);
        drawMs.push_back(view.LastDrawMilliseconds());
      }
    }
    QTest::mousePress(&view, Qt::LeftButton, {}, centre.toPoint());
    for (int i = 1; i <= 24; ++i) {
      QMouseEvent move(QEvent::MouseMove, centre + QPointF(6 * i, 4 * i), view.mapToGlobal(centre + QPointF(6 * i, 4 * i)),
                       Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
      clock.start();
      QApplication::sendEvent(&view, &move);
      view.repaint();
      panMs.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    QTest::mouseRelease(&view, Qt::LeftButton, {}, (centre + QPointF(144, 96)).toPoint());
    WaitForPicture(view);
    drawMs.push_back(view.LastDrawMilliseconds());
    viewer.close();
  });
  viewer.exec();

  const tp::Result& path = *tab.Path();
  const std::size_t moves = path.motions.size();
  const double bytes = static_cast<double>(path.motions.capacity() * sizeof(tp::Motion) +
                                           (moves + viewer.Result().size()) * sizeof(std::uint32_t));
  std::printf("program: %zu lines, %zu moves (yardstick %zu)\n", viewer.Result().size(), moves,
              yardstick.motions.size());
  std::printf("execution alone (yardstick): %.1f ms; the drawing %d x %d pixels\n", runMs, tab.View->width(),
              tab.View->height());
  std::printf("hand-off: %.1f ms; to the tab shown with the statistics: %.1f ms; to the first part of the path "
              "drawn: %.1f ms; to the whole path drawn: %.1f ms (%.2f x the execution); the drawing itself %.1f ms\n",
              handOffMs, shownMs, firstPictureMs, openMs, openMs / runMs, firstDrawMs);
  std::printf("full drawings after a pause: median %.1f ms, max %.1f ms (%zu)\n", Median(drawMs),
              drawMs.empty() ? 0 : *std::max_element(drawMs.begin(), drawMs.end()), drawMs.size());
  std::printf("wheel zoom frames (the picture moved and scaled): median %.1f ms, max %.1f ms (%zu)\n", Median(zoomMs),
              zoomMs.empty() ? 0 : *std::max_element(zoomMs.begin(), zoomMs.end()), zoomMs.size());
  std::printf("drag pan frames (the same):          median %.1f ms, max %.1f ms (%zu)\n", Median(panMs),
              panMs.empty() ? 0 : *std::max_element(panMs.begin(), panMs.end()), panMs.size());
  std::printf("path memory: %.1f MB, %.1f bytes per move (with the index by line)\n", bytes / 1e6,
              moves ? bytes / static_cast<double>(moves) : 0);
  return 0;
}

}  // namespace vostrel::gui
