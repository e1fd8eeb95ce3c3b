#pragma once
// Where a window opens that remembers the top-left corner of its frame
// (title bar and border included).

#include <QPoint>
#include <QSize>

namespace vostrel::gui {

// `saved` when the title bar of a window of `size` placed there lies on a
// screen, so that the user can reach it; otherwise the default place, 10
// pixels in from the top-left corner of the primary screen's free area.
QPoint FramePositionOnScreen(QPoint saved, QSize size);

}  // namespace vostrel::gui

#include <QObject>
#include <QRect>

#include <functional>

class QApplication;
class QWidget;

namespace vostrel::gui {

// Fits `window` (about to be shown) into `available`: a window larger than
// the area shrinks to it, a fixed size included; when its contents need
// more room than that, they move into a scroll area, so that every button
// stays within reach. Then the window moves so that its whole frame lies
// in the area.
void FitWindowToArea(QWidget& window, QRect available);

// Fits every window of the program to the free area of its screen as it
// opens (menus, tips and other pop-ups aside). `area` gives the area for
// a window; by default its screen's free area.
class ScreenFitter : public QObject {
 public:
  using AreaOf = std::function<QRect(const QWidget& window)>;
  explicit ScreenFitter(QObject* parent = nullptr, AreaOf area = {});

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  AreaOf area_;
};

// Installs a ScreenFitter for the whole application.
void FitEveryWindowToItsScreen(QApplication& app);

}  // namespace vostrel::gui
