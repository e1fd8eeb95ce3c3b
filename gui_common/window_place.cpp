#include "gui_common/window_place.h"

#include <QApplication>
#include <QEvent>
#include <QLayout>
#include <QMainWindow>
#include <QRect>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace vostrel::gui {

namespace {
// A title bar as the window managers draw it, and the part of it that must
// be visible for the user to grab it.
constexpr int kTitleBarHeight = 20;
constexpr int kGrabWidth = 60;
// A frame before the window manager has drawn it: borders and a title bar
// as most window managers draw them, a little on the generous side.
constexpr QSize kFrameEstimate(12, 36);

// The room a window's frame takes beyond the window.
QSize FrameExtra(const QWidget& window) {
  const QSize extra = window.frameGeometry().size() - window.geometry().size();
  return extra.isEmpty() ? kFrameEstimate : extra;
}

// The smallest size at which the window's contents are all usable.
QSize LeastSize(const QWidget& window) {
  const QLayout* layout = window.layout();
  return layout ? layout->totalMinimumSize() : window.minimumSizeHint();
}

// Moves the window's contents into a scroll area that fills the window.
void ScrollContents(QWidget& window) {
  auto* area = new QScrollArea;
  area->setObjectName(QStringLiteral("FitScrollArea"));
  area->setWidgetResizable(true);
  area->setFrameShape(QFrame::NoFrame);
  if (auto* main = qobject_cast<QMainWindow*>(&window)) {
    QWidget* central = main->takeCentralWidget();
    if (!central) return delete area;
    area->setWidget(central);
    main->setCentralWidget(area);
    area->show();  // the window may be showing already
    return;
  }
  QLayout* layout = window.layout();
  if (!layout) return delete area;
  // The layout moves over with every widget in it.
  auto* contents = new QWidget;
  contents->setLayout(layout);
  area->setWidget(contents);
  auto* frame = new QVBoxLayout(&window);
  frame->setContentsMargins(0, 0, 0, 0);
  frame->addWidget(area);
  area->show();
}
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

void FitWindowToArea(QWidget& window, QRect available) {
  if (!available.isValid()) return;
  const QSize extra = FrameExtra(window);
  const QSize room = (available.size() - extra).expandedTo(QSize(100, 80));
  const QSize size = window.size();
  const bool fixed = window.minimumSize() == window.maximumSize();
  if (size.width() > room.width() || size.height() > room.height()) {
    const QSize fitted = size.boundedTo(room);
    const QSize least = LeastSize(window);
    if (least.width() > fitted.width() || least.height() > fitted.height()) {
      if (!window.findChild<QScrollArea*>(QStringLiteral("FitScrollArea"), Qt::FindDirectChildrenOnly) &&
          !(qobject_cast<QMainWindow*>(&window) &&
            qobject_cast<QScrollArea*>(static_cast<QMainWindow&>(window).centralWidget())))
        ScrollContents(window);
    }
    if (fixed) {
      window.setFixedSize(fitted);
    } else {
      window.setMinimumSize(window.minimumSize().boundedTo(fitted));
      window.resize(fitted);
    }
  }
  // The whole frame inside the area (its corner is the window's position).
  const QSize frame = window.size() + extra;
  QPoint at = window.pos();
  at.setX(std::clamp(at.x(), available.left(), std::max(available.left(), available.right() + 1 - frame.width())));
  at.setY(std::clamp(at.y(), available.top(), std::max(available.top(), available.bottom() + 1 - frame.height())));
  if (at == window.pos()) return;
  // A window that exists but has no frame yet takes a move as the place of
  // its inside: leave room for the frame the window manager will add.
  if (window.testAttribute(Qt::WA_WState_Created) && window.frameGeometry() == window.geometry())
    at += QPoint(extra.width() / 2, extra.height() - extra.width() / 2);
  window.move(at);
}

ScreenFitter::ScreenFitter(QObject* parent, AreaOf area) : QObject(parent), area_(std::move(area)) {
  if (!area_) {
    area_ = [](const QWidget& window) {
      const QScreen* screen = QGuiApplication::screenAt(window.frameGeometry().topLeft() + QPoint(kGrabWidth, 5));
      if (!screen) screen = window.screen();
      return screen ? screen->availableGeometry() : QRect();
    };
  }
}

bool ScreenFitter::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show && !event->spontaneous() && watched->isWidgetType()) {
    auto* window = static_cast<QWidget*>(watched);
    const Qt::WindowType type = window->windowType();
    if (window->isWindow() && (type == Qt::Window || type == Qt::Dialog || type == Qt::Sheet))
      FitWindowToArea(*window, area_(*window));
  }
  return QObject::eventFilter(watched, event);
}

void FitEveryWindowToItsScreen(QApplication& app) { app.installEventFilter(new ScreenFitter(&app)); }

}  // namespace vostrel::gui
