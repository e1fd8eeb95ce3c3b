// Windows fitted to a small screen: the main window, whose fixed contents
// do not fit, scrolls; the viewer, saved larger than the screen, shrinks;
// every button stays inside its window.

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QScrollArea>

#include "gui_common/window_place.h"
#include "shell/test_window.h"

namespace vostrel::gui {
namespace {

using window_test::Window;

// True when `button` lies inside its window, or inside the scroll area
// that holds it (where the user scrolls to it).
bool Reachable(const QPushButton& button) {
  QWidget* window = button.window();
  QWidget* frame = window;
  for (QWidget* up = button.parentWidget(); up && up != window; up = up->parentWidget())
    if (auto* area = qobject_cast<QScrollArea*>(up)) frame = area->viewport();
  if (frame != window) return true;  // scrolled to
  const QRect at(button.mapTo(window, QPoint(0, 0)), button.size());
  return window->rect().contains(at);
}

TEST(WindowFit, WindowsShrinkToASmallScreenAndKeepTheirButtons) {
  const QRect screen(0, 0, 420, 320);
  ScreenFitter fitter(nullptr, [&](const QWidget&) { return screen; });
  qApp->installEventFilter(&fitter);
  Window w({}, "[View]\r\nLeft=700\r\nTop=600\r\nWidth=1900\r\nHeight=1300\r\n");
  w.window->show();
  EXPECT_NE(w.window->findChild<QScrollArea*>(QStringLiteral("FitScrollArea")), nullptr);
  std::vector<QRect> frames;
  std::vector<bool> reachable;
  w.window->Viewer()->HandOff({"G00 X0"}, {"log"}, "/tmp/A.NC");
  w.window->Viewer()->show();
  for (QWidget* window : {static_cast<QWidget*>(w.window.get()), static_cast<QWidget*>(w.window->Viewer())}) {
    frames.push_back(QRect(window->pos(), window->size()));
    for (const QPushButton* button : window->findChildren<QPushButton*>())
      if (button->window() == window && button->isVisible()) reachable.push_back(Reachable(*button));
  }
  w.window->Viewer()->close();
  qApp->removeEventFilter(&fitter);
  for (const QRect& frame : frames) EXPECT_TRUE(screen.contains(frame)) << frame.x() << "," << frame.y() << " "
                                                                       << frame.width() << "x" << frame.height();
  EXPECT_EQ(std::count(reachable.begin(), reachable.end(), false), 0);
  EXPECT_GE(reachable.size(), 7u);  // 開始 中止 終了 ... 保存 印刷 印刷設定 戻る
  // The viewer stores the size it had, so that it opens fitted next time too.
  EXPECT_LE(w.window->Settings().View.Width, screen.width());
  EXPECT_LE(w.window->Settings().View.Height, screen.height());
}

}  // namespace
}  // namespace vostrel::gui
