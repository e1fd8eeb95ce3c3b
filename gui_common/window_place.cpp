#include "gui_common/window_place.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>

#include <algorithm>

namespace vostrel::gui {

namespace {
// A title bar as the window managers draw it, and the part of it that must
// be visible for the user to grab it.
constexpr int kTitleBarHeight = 20;
constexpr int kGrabWidth = 60;
}  // namespace

QPoint FramePositionOnScreen(QPoint saved, QSize size) {
  const QRect titleBar(saved, QSize(size.width(), kTitleBarHeight));
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect visible = titleBar & screen->availableGeometry();
    if (visible.height() == kTitleBarHeight && visible.width() >= std::min(kGrabWidth, size.width())) return saved;
  }
  const QScreen* primary = QGuiApplication::primaryScreen();
  return primary ? primary->availableGeometry().topLeft() + QPoint(10, 10) : QPoint(10, 10);
}

}  // namespace vostrel::gui
