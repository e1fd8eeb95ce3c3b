// vostrel_devtool: developer checks of the windows.
//   vostrel_devtool shots DIR     screenshots of every window as PNG files
//   vostrel_devtool compile CASE OUT  runs the end-to-end case folder CASE
//                                 through the window: OUT/out.nc, OUT/log.txt
//   vostrel_devtool print CASE PDF  runs CASE and prints the result to PDF
//   vostrel_devtool fonts          the Japanese font families in use
//   vostrel_devtool toolpath-shots DIR FILE...  the 経路 tab of each program
//   vostrel_devtool toolpath-bench [LINES]      times the 経路 tab of a CAM program
//   vostrel_devtool bench [LINES|FILE [KEY=VALUE...]]
//                                 times a run in the window and the viewer
//                                 opening for a generated CAM program of
//                                 LINES lines, or for the program FILE
//   vostrel_devtool source FILE    opens FILE in the source view and prints
//                                 the peak memory before and after
//   vostrel_devtool memory FILE [KEY=VALUE...]
//                                 the peak memory of a run of FILE in the
//                                 window: idle, viewer shown, path drawn

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "gen_cam.h"
#include "shell/devtool_cases.h"
#include "shell/devtool_memory.h"
#include "shell/devtool_toolpath.h"
#include "gui_common/fonts.h"
#include "gui_common/prompts.h"
#include "gui_common/scripted_prompts.h"
#include "platform/exe_path.h"
#include "shell/finding_navigator.h"
#include "shell/main_window.h"
#include "shell/qt_translations.h"
#include "shell/user_extensions_dialog.h"
#include "shell/word_list_editor.h"
#include "viewer/line_text_view.h"
#include "viewer/source_view.h"
#include "viewer/viewer_dialog.h"

namespace {

using namespace vostrel;
using namespace vostrel::gui;
namespace fs = std::filesystem;

fs::path ScratchDir() {
  fs::path dir = fs::temp_directory_path() / ("vostrel-devtool-" + std::to_string(QCoreApplication::applicationPid()));
  fs::create_directories(dir);
  return dir;
}

void Write(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void Save(QWidget* widget, const fs::path& file) {
  widget->grab().save(QString::fromStdString(file.string()));
  std::printf("%s\n", file.string().c_str());
}

// Real message boxes that take their own picture and close themselves.
class ShootingPrompts : public DialogPrompts {
 public:
  explicit ShootingPrompts(fs::path dir) : dir_(std::move(dir)) {}
  bool AskYesNo(QWidget* owner, const QString& caption, const QString& text) override {
    ShootNextModal("question");
    return DialogPrompts::AskYesNo(owner, caption, text);
  }
  void ShowMessage(QWidget* owner, const QString& caption, const QString& text, MessageIcon icon) override {
    ShootNextModal("message");
    DialogPrompts::ShowMessage(owner, caption, text, icon);
  }
  // The source dialog with the second filter picked by the user.
  std::optional<SourceDialogResult> ChooseSourceFile(QWidget* owner, const SourceDialogRequest& request) override {
    const fs::path file = dir_ / "open_dialog_filtered.png";
    QTimer::singleShot(300, [file] {
      QWidget* dialog = QApplication::activeModalWidget();
      if (!dialog) return;
      if (auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
        QTest::keyClick(types, Qt::Key_Down);
      QTest::qWait(300);
      Save(dialog, file);
      dialog->close();
    });
    return DialogPrompts::ChooseSourceFile(owner, request);
  }
  int count = 0;

 private:
  void ShootNextModal(const char* kind) {
    const fs::path file = dir_ / (std::string(kind) + std::to_string(++count) + ".png");
    QTimer::singleShot(150, [file] {
      if (QWidget* box = QApplication::activeModalWidget()) {
        Save(box, file);
        if (auto* message = qobject_cast<QMessageBox*>(box)) {
          message->buttons().front()->click();
          return;
        }
        box->close();
      }
    });
  }
  fs::path dir_;
};

int Shots(const fs::path& out) {
  fs::create_directories(out);
  const fs::path scratch = ScratchDir();
  ShootingPrompts prompts(out);
  MainWindow::Options options;
  options.settingsPath = scratch / "vostrel.INI";
  options.exeDir = platform::ExecutableDir();
  options.prompts = &prompts;
  Write(scratch / "PART1.NC0",
        "%\r\nO1000 ;\x83\x81\x83\x43\x83\x93\r\n$DEPTH -2.5\r\nG00 X0 Y0\r\nG01 Z[DEPTH] F200 ;\x90\xd8\x8d\xed\r\n"
        "g01 x10.0 y0x10\r\nm98 p2000 subcall\r\nM30\r\n%\r\n");
  MainWindow window(options);
  window.show();
  window.SelectSource(QString::fromStdString((scratch / "PART1.NC0").string()));
  window.AddRecentFile(QString::fromStdString((scratch / "PART1.NC0").string()));
  QApplication::processEvents();
  Save(&window, out / "main_idle.png");

  // A run: the viewer on both tabs.
  QTimer::singleShot(100, [&] {
    ViewerDialog* viewer = window.Viewer();
    QApplication::processEvents();
    Save(viewer, out / "viewer_data.png");
    viewer->Tabs->setCurrentIndex(1);
    viewer->LogView->ScrollToEnd();  // the findings stand near the end
    QApplication::processEvents();
    Save(viewer, out / "viewer_log.png");
    QTimer::singleShot(300, [&] {
      if (QWidget* dialog = QApplication::activeModalWidget()) {
        for (auto* button : dialog->findChildren<QPushButton*>())  // the page choices
          if (button->text().contains(QStringLiteral(">>"))) button->click();
        QTest::qWait(200);
        Save(dialog, out / "print_dialog.png");
        dialog->close();
      }
    });
    viewer->PrintButton->click();
    // The first finding in the source view.
    window.Findings()->Next();
    QApplication::processEvents();
    Save(window.Findings()->View(), out / "source_view.png");
    window.Findings()->View()->close();
    viewer->close();
  });
  window.StartCompile();
  QApplication::processEvents();
  Save(&window, out / "main_after_run.png");

  // The working view in the middle of a run.
  std::string big = bench::GenerateCamProgram(200000);
  Write(scratch / "BIG.NC0", big);
  window.SelectSource(QString::fromStdString((scratch / "BIG.NC0").string()));
  std::function<void()> shootRunning = [&] {
    if (window.Run().RunLog.size() < 6) return void(QTimer::singleShot(5, shootRunning));
    Save(&window, out / "main_running.png");
    window.CancelButton->click();
  };
  QTimer::singleShot(0, shootRunning);
  window.StartCompile();

  // The source dialog with a filter picked, over files of several kinds.
  for (const char* name : {"NOTE.TXT", "README.md", "O2000"}) Write(scratch / name, "%\r\n");
  window.ChooseSource();

  // The word-list editor.
  QTimer::singleShot(100, [&] {
    Save(window.WordEditor(), out / "word_list_editor.png");
    window.WordEditor()->BackButton->click();
  });
  window.EditWordList();

  // The user-defined extensions dialog.
  QTimer::singleShot(100, [&] {
    Save(window.ExtensionsDialog(), out / "user_dialog.png");
    window.ExtensionsDialog()->BackButton->click();
  });
  window.EditUserExtensions();

  // A refused key and the several-files drop message.
  window.DropFiles({QStringLiteral("/a.nc"), QStringLiteral("/b.nc")});
  fs::remove_all(scratch);
  return 0;
}

// Times a run in the window, up to the viewer being shown, and the
// viewer's opening with the result: of the program `file`, or of a
// generated CAM program of `lines` lines.
int Bench(const QString& file, std::size_t lines, const QStringList& sets) {
  const fs::path scratch = ScratchDir();
  fs::path source = scratch / "cam.nc";
  if (file.isEmpty()) Write(source, bench::GenerateCamProgram(lines));
  else source = file.toStdString();
  ScriptedPrompts prompts;
  MainWindow::Options options;
  options.settingsPath = scratch / "vostrel.INI";
  options.exeDir = platform::ExecutableDir();
  options.prompts = &prompts;
  MainWindow window(options);
  ShowReadyToRun(window, sets, source, scratch);

  QElapsedTimer clock;
  qint64 runMs = 0, viewerMs = 0;
  // Looks until the viewer's event loop runs: the result is on screen.
  std::function<void()> check = [&] {
    if (!window.Viewer()->isVisible()) return void(QTimer::singleShot(1, check));
    QApplication::processEvents();
    runMs = clock.elapsed();
    window.Viewer()->close();
  };
  QTimer::singleShot(0, check);
  clock.start();
  window.StartCompile();
  std::printf("window run: %s in %.2f s (to the viewer shown)\n", source.string().c_str(), runMs / 1000.0);

  // The viewer on its own: hand-off of a result of this size and first paint.
  TextLines result = window.Viewer()->Result();
  QElapsedTimer open;
  open.start();
  window.Viewer()->HandOff(std::move(result), {"----- ﾛｸﾞ -----"}, source.string());
  QTimer::singleShot(0, [&] {
    window.Viewer()->repaint();
    viewerMs = open.elapsed();
    window.Viewer()->close();
  });
  window.Viewer()->exec();
  std::printf("viewer open: %zu lines in %.3f s (hand-off, show, first paint)\n",
              window.Viewer()->Result().size(), viewerMs / 1000.0);
  fs::remove_all(scratch);
  return 0;
}

int OpenSource(const fs::path& file) {
  SourceView view;
  view.show();
  QApplication::processEvents();
  const double before = PeakMegabytes();
  Finding place;
  place.file = file.string();
  place.line = 1;
  if (!view.ShowPlace(place)) return 1;
  QApplication::processEvents();
  std::error_code ec;
  std::printf("source view: %s (%.1f MB, %d lines): peak memory %.1f MB before, %.1f MB after\n",
              file.string().c_str(), static_cast<double>(fs::file_size(file, ec)) / 1048576.0,
              view.SourceText->LineCount(), before, PeakMegabytes());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setFont(JapaneseFont(Pitch::Proportional, 9));
  InstallQtTranslations(app);
  const QStringList args = QApplication::arguments();
  if (args.size() >= 3 && args[1] == "shots") return Shots(args[2].toStdString());
  if (args.size() >= 4 && args[1] == "compile") return CompileCase(args[2].toStdString(), args[3].toStdString());
  if (args.size() >= 4 && args[1] == "print") return PrintCase(args[2].toStdString(), args[3].toStdString());
  if (args.size() >= 2 && args[1] == "fonts") return ListFonts();
  if (args.size() >= 3 && args[1] == "source") return OpenSource(args[2].toStdString());
  if (args.size() >= 3 && args[1] == "memory") return MemoryRun(args[2].toStdString(), args.mid(3));
  if (args.size() >= 4 && args[1] == "toolpath-shots") return ToolpathShots(args[2].toStdString(), args.mid(3));
  if (args.size() >= 2 && args[1] == "toolpath-bench")
    return ToolpathBench(args.size() >= 3 ? args[2].toULongLong() : 1000000);
  if (args.size() >= 2 && args[1] == "bench") {
    const QString what = args.size() >= 3 ? args[2] : QStringLiteral("1000000");
    bool isCount = false;
    const std::size_t lines = what.toULongLong(&isCount);
    return Bench(isCount ? QString() : what, lines, args.mid(3));
  }
  std::fprintf(stderr,
               "usage: vostrel_devtool shots DIR | compile CASE OUT | print CASE PDF | fonts |\n"
               "                       bench [LINES|FILE [KEY=VALUE...]] | source FILE |\n"
               "                       memory FILE [KEY=VALUE...] |\n"
               "                       toolpath-shots DIR FILE... | toolpath-bench [LINES]\n");
  return 2;
}
