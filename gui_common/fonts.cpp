#include "gui_common/fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace vostrel::gui {

QString JapaneseFamily(Pitch pitch) {
  static const QStringList kProportional = {
      QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic"),
      QStringLiteral("IPA Pゴシック"), QStringLiteral("Noto Sans CJK JP"), QStringLiteral("VL PGothic"),
      QStringLiteral("TakaoPGothic")};
  static const QStringList kFixed = {
      QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic"),
      QStringLiteral("IPAゴシック"), QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("VL Gothic"),
      QStringLiteral("TakaoGothic")};
  const QStringList installed = QFontDatabase::families();
  for (const QString& family : pitch == Pitch::Fixed ? kFixed : kProportional)
    if (installed.contains(family, Qt::CaseInsensitive)) return family;
  for (const QString& family : QFontDatabase::families(QFontDatabase::Japanese))
    if (QFontDatabase::isFixedPitch(family) == (pitch == Pitch::Fixed)) return family;
  const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
  return japanese.isEmpty() ? QString() : japanese.front();
}

QFont JapaneseFont(Pitch pitch, int pointSize) {
  QFont font;
  const QString family = JapaneseFamily(pitch);
  if (!family.isEmpty()) font.setFamily(family);
  if (pitch == Pitch::Fixed) font.setStyleHint(QFont::TypeWriter);
  font.setPointSize(pointSize > 0 ? pointSize : 10);
  return font;
}

QFont JapanesePixelFont(Pitch pitch, int pixelSize) {
  QFont font = JapaneseFont(pitch, 10);
  font.setPixelSize(pixelSize);
  return font;
}

}  // namespace vostrel::gui
