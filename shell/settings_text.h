#pragma once
// Text of the settings (Shift-JIS bytes) for the screen, and back.

#include <QString>

#include <string>

namespace vostrel::gui {

QString FromCp932(const std::string& bytes);
// A character Shift-JIS cannot hold becomes "?".
std::string ToCp932(const QString& text);

}  // namespace vostrel::gui
