#include "shell/settings_text.h"

#include "text/sjis.h"

namespace vostrel::gui {

QString FromCp932(const std::string& bytes) { return QString::fromStdString(sjis::ToUtf8(bytes)); }

std::string ToCp932(const QString& text) {
  if (auto bytes = sjis::FromUtf8(text.toStdString())) return *bytes;
  std::string out;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const qsizetype n = (text[i].isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
    const auto piece = sjis::FromUtf8(text.mid(i, n).toStdString());
    out += piece ? *piece : std::string("?");
    i += n - 1;
  }
  return out;
}

}  // namespace vostrel::gui
