// Window positions under a real window manager, which draws the frames: the
// ctest run gui_wm_tests starts one (the offscreen run skips these).

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTest>
#include <QTimer>

#include "shell/test_window.h"

namespace vostrel::gui {
namespace {

using window_test::Window;

// Waits until the window manager has framed the shown window.
void WaitForFrame(const QWidget& window) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 3000 && window.frameGeometry() == window.geometry()) QTest::qWait(20);
  QTest::qWait(100);  // placement settles
}

TEST(WindowManager, WindowsComeBackWhereTheyWereClosed) {
  if (QGuiApplication::platformName() != QLatin1String("xcb"))
    GTEST_SKIP() << "needs an X display with a window manager: ctest -R gui_wm_tests";
  struct Case {
    const char* ini;
    QPoint main, viewer;  // frame corners expected at every start
  };
  const Case cases[] = {
      {"", {10, 10}, {10, 10}},  // no settings: the default place, title bar on screen
      {"[Main]\r\nLeft=200\r\nTop=300\r\n[View]\r\nLeft=250\r\nTop=150\r\n", {200, 300}, {250, 150}},
      // Title bars above the screen or far off to the right: the default place.
      {"[Main]\r\nLeft=200\r\nTop=-15\r\n[View]\r\nLeft=99999\r\nTop=150\r\n", {10, 10}, {10, 10}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ini);
    Window w({}, c.ini);
    for (int start = 1; start <= 10; ++start) {
      if (start > 1) w.Open();
      w.window->show();
      WaitForFrame(*w.window);
      EXPECT_EQ(w.window->frameGeometry().topLeft(), c.main) << "start " << start;
      EXPECT_GT(w.window->geometry().top(), w.window->frameGeometry().top());  // a title bar was drawn
      ViewerDialog* viewer = w.window->Viewer();
      QPoint viewerAt;
      QTimer::singleShot(0, viewer, [&] {
        WaitForFrame(*viewer);
        viewerAt = viewer->frameGeometry().topLeft();
        viewer->close();
      });
      viewer->exec();
      EXPECT_EQ(viewerAt, c.viewer) << "start " << start;
      w.window->close();
    }
  }
}

}  // namespace
}  // namespace vostrel::gui
