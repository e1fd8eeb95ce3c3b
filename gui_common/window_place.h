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
