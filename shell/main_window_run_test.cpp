// The main window: runs in the window, the viewer hand-off and "保存",
// cancel, fatal stops, and the button states at every end of a run.

#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>

#include "gui_common/scripted_prompts.h"
#include "pipeline/text_lines.h"
#include "shell/busy_indicator.h"
#include "shell/main_window.h"
#include "shell/test_window.h"
#include "shell/window_frame.h"
#include "tests/test_support.h"
#include "viewer/line_text_view.h"
#include "viewer/toolpath_tab.h"
#include "viewer/viewer_dialog.h"

namespace vostrel::gui {
namespace {

using test::ReadFile;
using test::Sjis;
using test::TempDir;
using test::WriteFile;

using window_test::Q;
using window_test::Window;


const char* kSource = "%\r\nO1000 ;main\r\ng00\tx1.0 y2.0\r\n(\x90\xd8\x8d\xed)\r\nM30\r\n%\r\n";

TEST(MainWindowRun, CompilesToTheViewerAndSavesTheExactBytes) {
  Window w;
  WriteFile(w.dir / "PART1.NC0", kSource);
  w.Fill(Q(w.dir / "PART1.NC0"), Q(w.dir.path()), "PART1", "NC");
  TextLines shownInViewer;
  QString label, logTab;
  bool saveEnabled = false, saveAfter = true;
  w.Start([&](ViewerDialog& viewer) {
    shownInViewer = viewer.Result();
    label = viewer.TargetLabel->text();
    saveEnabled = viewer.SaveButton->isEnabled();
    EXPECT_EQ(viewer.Tabs->currentIndex(), 0);
    for (int i = 0; i < viewer.LogView->LineCount(); ++i) logTab += viewer.LogView->LineText(i) + "\n";
    viewer.SaveButton->click();
    saveAfter = viewer.SaveButton->isEnabled();
  });
  ASSERT_TRUE(w.viewerShown);
  EXPECT_EQ(w.ButtonsWhileShowing, (std::pair<bool, bool>{false, false}));
  EXPECT_EQ(shownInViewer, (TextLines{"%", "O1000", "G00X1.0Y2.0", "(\x90\xd8\x8d\xed)", "M30", "%"}));
  EXPECT_EQ(label, Q(w.dir / "PART1.NC"));
  EXPECT_TRUE(saveEnabled);
  EXPECT_FALSE(saveAfter);  // one save per showing
  EXPECT_EQ(ReadFile(w.dir / "PART1.NC"), OutputBytes(shownInViewer));
  EXPECT_TRUE(logTab.startsWith("----- ﾛｸﾞ -----\n"));
  EXPECT_TRUE(logTab.endsWith("--- ｺﾝﾊﾟｲﾙ 完了 ---\n"));
  EXPECT_TRUE(w.Idle());
  EXPECT_EQ(w.window->TargetLabel->text(), "名前:" + Q(w.dir / "PART1.NC"));
  EXPECT_EQ(w.window->WorkingTextView->LineCount(), 0);  // the text lives in the viewer now
  EXPECT_EQ(w.window->LogView->LineCount(), 0);      // "戻る" cleared the log
  EXPECT_TRUE(w.prompts.shown.empty());
  EXPECT_EQ(w.window->Settings().RecentFiles[0], Q(w.dir / "PART1.NC0").toStdString());
}

// The keys of the buttons: F5 in a field starts the run, Ctrl+S in the
// viewer saves.
TEST(MainWindowRun, F5StartsTheRunAndCtrlSSavesInTheViewer) {
  Window w;
  WriteFile(w.dir / "KEYS.NC0", kSource);
  w.Fill(Q(w.dir / "KEYS.NC0"), Q(w.dir.path()), "KEYS", "NC");
  w.window->show();
  QApplication::setActiveWindow(w.window.get());
  bool saveEnabledAfter = true;
  QTimer::singleShot(0, w.window.get(), [&] {
    w.WatchViewer([&](ViewerDialog& viewer) {
      QApplication::setActiveWindow(&viewer);
      QTest::keyClick(viewer.ResultView, Qt::Key_S, Qt::ControlModifier);
      saveEnabledAfter = viewer.SaveButton->isEnabled();
    }, true);
  });
  QTest::keyClick(w.window->OutputNameField, Qt::Key_F5);
  ASSERT_TRUE(w.viewerShown);
  EXPECT_FALSE(saveEnabledAfter);
  EXPECT_EQ(ReadFile(w.dir / "KEYS.NC"), "%\r\nO1000\r\nG00X1.0Y2.0\r\n(\x90\xd8\x8d\xed)\r\nM30\r\n%\r\n");
}

TEST(MainWindowRun, CloseBoxKeepsTheLogAndAFailedSaveKeepsSaveEnabled) {
  Window w;
  WriteFile(w.dir / "A.NC0", kSource);
  w.Fill(Q(w.dir / "A.NC0"), Q(w.dir / "missing-folder"), "A", "NC");
  bool saveAfter = false;
  w.Start([&](ViewerDialog& viewer) {
    viewer.SaveButton->click();
    saveAfter = viewer.SaveButton->isEnabled();
  }, /*back=*/false);
  ASSERT_TRUE(w.viewerShown);
  EXPECT_TRUE(saveAfter);
  ASSERT_EQ(w.prompts.shown.size(), 1u);
  EXPECT_EQ(w.prompts.shown[0].text,
            "ファイル " + Q(w.dir / "missing-folder" / "A.NC") + " を作成できません\nNo such file or directory");
  EXPECT_FALSE(std::filesystem::exists(w.dir / "missing-folder"));
  EXPECT_GT(w.window->LogView->LineCount(), 2);  // the close box leaves the log
  EXPECT_TRUE(w.Idle());
}

TEST(MainWindowRun, EmptyResultSavesAnEmptyFile) {
  Window w;
  WriteFile(w.dir / "E.NC0", "");
  w.Fill(Q(w.dir / "E.NC0"), Q(w.dir.path()) + "/", "E", "NC");
  w.prompts.answers = {false};  // the unreadable-source question: No
  w.Start([&](ViewerDialog& viewer) { viewer.SaveButton->click(); });
  ASSERT_TRUE(w.viewerShown);
  ASSERT_EQ(w.prompts.shown.size(), 1u);
  EXPECT_TRUE(w.prompts.shown[0].question);
  EXPECT_TRUE(w.prompts.shown[0].text.startsWith("ファイル形式が違います。"));
  EXPECT_TRUE(std::filesystem::exists(w.dir / "E.NC"));
  EXPECT_EQ(ReadFile(w.dir / "E.NC"), "");
}

// The source goes away (or turns into a folder) after it was chosen: the
// run asks the unreadable-source question, ends cleanly with an empty
// result, and an existing output is only ever replaced by "保存".
TEST(MainWindowRun, SourceThatCannotBeReadIsNamedAndNothingRuns) {
  for (bool becomesFolder : {false, true}) {
    Window w;
    WriteFile(w.dir / "V.NC0", kSource);
    WriteFile(w.dir / "V.NC", "old output\r\n");
    w.Fill(Q(w.dir / "V.NC0"), Q(w.dir.path()), "V", "NC");
    std::filesystem::remove(w.dir / "V.NC0");
    if (becomesFolder) std::filesystem::create_directory(w.dir / "V.NC0");
    w.prompts.answers = {true};  // overwrite: Yes
    w.Start();
    EXPECT_FALSE(w.viewerShown) << becomesFolder;
    ASSERT_EQ(w.prompts.shown.size(), 2u);
    EXPECT_EQ(w.prompts.shown[1].text, "ファイル " + Q(w.dir / "V.NC0") +
                                           (becomesFolder ? " を読み込めません。" : " が見つかりません。"));
    EXPECT_TRUE(w.window->Run().RunLog.empty()) << "no run";
    EXPECT_EQ(ReadFile(w.dir / "V.NC"), "old output\r\n");
    EXPECT_TRUE(w.Idle());
  }
}

// A new run does not hold the last result and its path beside its own
// text: they are let go as it starts, whether it comes to a result or not.
TEST(MainWindowRun, NewRunLetsTheLastResultAndItsPathGo) {
  Window w;
  WriteFile(w.dir / "R.NC0", kSource);
  w.Fill(Q(w.dir / "R.NC0"), Q(w.dir.path()), "R", "NC");
  w.Start([](ViewerDialog& viewer) { viewer.PathTab->WaitForPath(); });
  ASSERT_TRUE(w.viewerShown);
  ASSERT_EQ(w.window->Viewer()->Result().size(), 6u);
  ASSERT_TRUE(w.window->Viewer()->PathTab->HasPath());
  std::filesystem::remove(w.dir / "R.NC0");
  w.Start();
  EXPECT_FALSE(w.viewerShown);
  EXPECT_TRUE(w.window->Viewer()->Result().empty());
  EXPECT_FALSE(w.window->Viewer()->PathTab->HasPath());
  EXPECT_EQ(w.window->Viewer()->ResultView->LineCount(), 0);
}

TEST(MainWindowRun, DecliningTheOverwriteEndsBeforeTheRun) {
  Window w;
  WriteFile(w.dir / "B.NC0", kSource);
  WriteFile(w.dir / "B.NC", "old");
  w.Fill(Q(w.dir / "B.NC0"), Q(w.dir.path()), "B", "NC");
  w.prompts.answers = {false};
  w.Start();
  EXPECT_FALSE(w.viewerShown);
  ASSERT_EQ(w.prompts.shown.size(), 1u);
  EXPECT_EQ(w.prompts.shown[0].caption, "確認");
  EXPECT_EQ(w.prompts.shown[0].text, "すでに" + Q(w.dir / "B.NC") + "が有ります。\n上書きしますか？");
  EXPECT_EQ(w.window->Run().TargetPath, "");
  EXPECT_EQ(w.window->LogView->LineCount(), 0);
  EXPECT_EQ(ReadFile(w.dir / "B.NC"), "old");
  EXPECT_TRUE(w.Idle());
  EXPECT_EQ(QApplication::focusWidget() == nullptr || QApplication::focusWidget() == w.window->OutputNameField, true);
}

TEST(MainWindowRun, IncompleteFieldsMoveTheFocusAndRunNothing) {
  Window w;
  w.window->show();
  QApplication::setActiveWindow(w.window.get());
  struct Case { QString source, folder, name, ext; QLineEdit* MainWindow::*focus; QString said; };
  const Case cases[] = {
      {"/nc/a.nc", "", "a", "NC", &MainWindow::OutputFolderField, "ﾌｫﾙﾀﾞ（ｺﾝﾊﾟｲﾙ後） が空です。"},
      {"", "", "", "", &MainWindow::OutputExtensionField,  // the last empty field
       "ｿｰｽﾌｧｲﾙ名、ﾌｫﾙﾀﾞ（ｺﾝﾊﾟｲﾙ後）、ﾌｧｲﾙ名（ｺﾝﾊﾟｲﾙ後)、拡張子(ｺﾝﾊﾟｲﾙ後) が空です。"},
      {"/nc/a.nc", "/out", "", "", &MainWindow::OutputExtensionField, "ﾌｧｲﾙ名（ｺﾝﾊﾟｲﾙ後)、拡張子(ｺﾝﾊﾟｲﾙ後) が空です。"},
      {"", "/out", "a", "NC", &MainWindow::SourceField, "ｿｰｽﾌｧｲﾙ名 が空です。"},
  };
  for (const auto& c : cases) {
    w.Fill(c.source, c.folder, c.name, c.ext);
    w.Start();
    EXPECT_FALSE(w.viewerShown);
    EXPECT_EQ(w.window->focusWidget(), (*w.window).*(c.focus)) << c.source.toStdString() << "|" << c.folder.toStdString();
    EXPECT_TRUE(w.Idle());
    EXPECT_TRUE(w.prompts.shown.empty());
    EXPECT_EQ(w.window->StatusText->text(), c.said);
  }
  // A field of blanks counts as filled.
  WriteFile(w.dir / "S.NC0", kSource);
  w.Fill(Q(w.dir / "S.NC0"), Q(w.dir.path()), " ", "NC");
  w.Start();
  EXPECT_TRUE(w.viewerShown);
}

TEST(MainWindowRun, CancelDuringARunStopsAfterTheStageUnderWay) {
  Window w;
  // Enough lines for the comment removal to let events run several times.
  std::string big = "%\r\n";
  for (int i = 0; i < 200000; ++i) big += "G01 X" + std::to_string(i) + " ;c\r\n";
  WriteFile(w.dir / "C.NC0", big);
  w.Fill(Q(w.dir / "C.NC0"), Q(w.dir.path()), "C", "NC");
  bool sawRunningState = false, inhibitedAfterPress = true;
  std::function<void()> press = [&] {
    if (!w.window->Running()) return;
    if (w.window->Run().RunLog.size() < 2) {  // wait for the comment removal
      QTimer::singleShot(1, w.window.get(), press);
      return;
    }
    sawRunningState = !w.window->StartButton->isEnabled() && w.window->CancelButton->isEnabled() && !w.window->ExitButton->isEnabled();
    w.window->CancelButton->click();
    inhibitedAfterPress = w.window->ScreenSaverInhibited();
  };
  QTimer::singleShot(0, w.window.get(), press);
  w.window->StartCompile();
  EXPECT_TRUE(sawRunningState);
  EXPECT_FALSE(inhibitedAfterPress);
  EXPECT_FALSE(w.window->Viewer()->isVisible());
  ASSERT_EQ(w.prompts.shown.size(), 1u);
  EXPECT_EQ(w.prompts.shown[0].caption, "中止");
  EXPECT_EQ(w.prompts.shown[0].text, "コンパイルを中止します。");
  EXPECT_EQ(w.prompts.shown[0].icon, MessageIcon::Stop);
  const auto& log = w.window->Run().RunLog;
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log[log.size() - 3], "ｺﾒﾝﾄ削除 -- 完了");
  EXPECT_EQ(log[log.size() - 2], "");
  EXPECT_EQ(log.back(), " -- 中止 --");
  EXPECT_EQ(w.window->LogView->LineCount(), static_cast<int>(log.size()));
  EXPECT_EQ(w.window->StatusText->text(), "");
  EXPECT_TRUE(w.Idle());
  EXPECT_FALSE(std::filesystem::exists(w.dir / "C.NC"));
}

TEST(MainWindowRun, MissingIncludeStopsTheRunWithTheButtonsIdle) {
  Window w;
  WriteFile(w.dir / "D.NC0", "%\r\nO4000\r\n$AB 1\r\n#INCLUDE NOFILE.DEF\r\nM30\r\n%\r\n");
  w.Fill(Q(w.dir / "D.NC0"), Q(w.dir.path()), "D", "NC");
  w.Start();
  EXPECT_FALSE(w.viewerShown);
  ASSERT_EQ(w.prompts.shown.size(), 1u);
  EXPECT_EQ(w.prompts.shown[0].caption, "確認");
  // Found beside the source, not in the current folder: the message names the path tried there.
  ASSERT_NE(std::filesystem::current_path(), w.dir.path());
  EXPECT_EQ(w.prompts.shown[0].text, Q(w.dir / "NOFILE.DEF") + " が見つかりません。\nコンパイルを中止します。");
  EXPECT_EQ(w.prompts.shown[0].icon, MessageIcon::Stop);
  EXPECT_EQ(w.window->Run().RunLog.back(), "外部定義ﾃﾞｰﾀ読み込み -- 中止");
  EXPECT_TRUE(w.Idle());
  EXPECT_GT(w.window->WorkingTextView->LineCount(), 0);  // the text as far as it got
}

// However the program was started, a relative include path is found beside the source.
TEST(MainWindowRun, RelativeIncludeIsFoundBesideTheSource) {
  Window w;
  std::filesystem::create_directories(w.dir / "DEF");
  WriteFile(w.dir / "DEF" / "COMMON.DEF", "$XPOS X12.5\r\n");
  WriteFile(w.dir / "I.NC0", "%\r\n#INCLUDE DEF\\COMMON.DEF\r\nG00 XPOS\r\n%\r\n");
  ASSERT_NE(std::filesystem::current_path(), w.dir.path());
  w.Fill(Q(w.dir / "I.NC0"), Q(w.dir.path()), "I", "NC");
  TextLines result;
  w.Start([&](ViewerDialog& viewer) { result = viewer.Result(); });
  ASSERT_TRUE(w.viewerShown);
  EXPECT_NE(std::find(result.begin(), result.end(), "G00X12.5"), result.end());
  EXPECT_TRUE(w.prompts.shown.empty());
}

TEST(MainWindowRun, CloseDuringARunCancelsAndClosesWhenItEnds) {
  Window w;
  std::string big;
  for (int i = 0; i < 200000; ++i) big += "G01 X" + std::to_string(i) + " ;c\r\n";
  WriteFile(w.dir / "F.NC0", big);
  w.Fill(Q(w.dir / "F.NC0"), Q(w.dir.path()), "F", "NC");
  w.window->show();
  bool refusedWhileRunning = false;
  std::function<void()> closeIt = [&] {
    if (!w.window->Running()) return;
    if (w.window->Run().RunLog.size() < 2) {
      QTimer::singleShot(1, w.window.get(), closeIt);
      return;
    }
    w.window->close();
    refusedWhileRunning = w.window->isVisible();
  };
  QTimer::singleShot(0, w.window.get(), closeIt);
  w.window->StartCompile();
  EXPECT_TRUE(refusedWhileRunning);
  EXPECT_TRUE(w.window->isVisible());  // still there when the handler returns
  QApplication::processEvents();
  EXPECT_FALSE(w.window->isVisible());  // then closed, with the settings saved
  EXPECT_TRUE(std::filesystem::exists(w.dir / "vostrel.INI"));
}

TEST(MainWindowRun, OptionToggledDuringARunAffectsTheLaterStages) {
  Window w;
  std::string big;
  for (int i = 0; i < 100000; ++i) big += "G01 X0x10 ;c\r\n";
  WriteFile(w.dir / "H.NC0", big);
  w.Fill(Q(w.dir / "H.NC0"), Q(w.dir.path()), "H", "NC");
  std::function<void()> toggle = [&] {
    if (!w.window->Running()) return;
    if (w.window->Run().RunLog.size() < 2) {
      QTimer::singleShot(1, w.window.get(), toggle);
      return;
    }
    w.window->HexToDecimalAction->trigger();  // during the comment removal
  };
  QTimer::singleShot(0, w.window.get(), toggle);
  TextLines result;
  w.Start([&](ViewerDialog& viewer) { result = viewer.Result(); });
  ASSERT_TRUE(w.viewerShown);
  ASSERT_FALSE(result.empty());
  EXPECT_EQ(result.front(), "G01X16");
}

// A stage reports every definition (status text and progress); the window
// shows the newest state at display rate, not once per definition.
TEST(WindowFrame, ManyDefinitionsReachTheScreenAtDisplayRate) {
  Window w;
  WindowFrame frame(w.window->Run(), *w.window);
  QSignalSpy shownProgress(w.window->ProgressBar, &QProgressBar::valueChanged);
  QSignalSpy eventRounds(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake);
  QElapsedTimer clock;
  clock.start();
  constexpr int kDefinitions = 2000;
  frame.StartProgress(kDefinitions);
  for (int i = 1; i <= kDefinitions; ++i) {
    frame.ShowActivity("定義 " + std::to_string(i));
    frame.SetProgress(i);
  }
  frame.ShowPending();
  const qint64 ticks = clock.elapsed() / WindowFrame::kEventIntervalMs + 2;
  EXPECT_LE(shownProgress.count(), ticks);
  EXPECT_LE(eventRounds.count(), ticks);
  EXPECT_EQ(w.window->ProgressBar->value(), kDefinitions);  // the newest state is on screen at the end
  EXPECT_EQ(w.window->StatusText->text(), "定義 2000");
}

TEST(ViewerWindow, GeometryAndFontFromTheViewKeysAndBackOnClose) {
  Window w({}, "[View]\r\nLeft=40\r\nTop=30\r\nWidth=600\r\nHeight=480\r\nFontSize=14\r\n");
  WriteFile(w.dir / "G.NC0", kSource);
  w.Fill(Q(w.dir / "G.NC0"), Q(w.dir.path()), "G", "NC");
  QSize size;
  int dataPoints = 0, logPoints = 0;
  w.Start([&](ViewerDialog& viewer) {
    size = viewer.size();
    dataPoints = viewer.ResultView->font().pointSize();
    logPoints = viewer.LogView->font().pixelSize();
    viewer.move(70, 90);
  });
  ASSERT_TRUE(w.viewerShown);
  EXPECT_EQ(size, QSize(600, 480));
  EXPECT_EQ(dataPoints, 14);
  EXPECT_EQ(logPoints, 12);  // the log keeps the window font
  EXPECT_EQ(w.window->Settings().View.Left, 70);
  EXPECT_EQ(w.window->Settings().View.Top, 90);
  EXPECT_EQ(w.window->Settings().View.Width, 600);
  ASSERT_TRUE(w.window->SaveSettings());
  const std::string ini = ReadFile(w.dir / "vostrel.INI");
  EXPECT_NE(ini.find("[View]\r\nLeft=70\r\nTop=90\r\nWidth=600\r\nHeight=480\r\nFontSize=14\r\n"),
            std::string::npos);
}

}  // namespace
}  // namespace vostrel::gui
