#pragma once
// Japanese gothic fonts: the family the windows were designed with when it
// is installed, else an installed Japanese gothic of the same kind.

#include <QFont>

namespace vostrel::gui {

enum class Pitch { Proportional, Fixed };

// The family to use: "ＭＳ Ｐゴシック" / "ＭＳ ゴシック" first, then the
// usual Japanese gothics of Linux desktops, then any family that writes
// Japanese (empty when there is none).
QString JapaneseFamily(Pitch pitch);

QFont JapaneseFont(Pitch pitch, int pointSize);
QFont JapanesePixelFont(Pitch pitch, int pixelSize);

}  // namespace vostrel::gui
