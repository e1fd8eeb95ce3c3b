// Shortcuts as desktop entries: a launcher "Vostrel.desktop" on the desktop,
// and one among the user's applications that the file manager offers for
// NC and text files.

#include "platform/shortcut.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

#include <cstdlib>
#include <fstream>
#include <string>
#include <system_error>

#include "platform/app_files.h"
#include "platform/atomic_file.h"

namespace vostrel::platform {

namespace fs = std::filesystem;

namespace {

fs::path HomeFolder() {
  const char* home = std::getenv("HOME");
  return (home && *home) ? fs::path(home) : fs::path();
}

fs::path ConfigHome() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg == '/') return xdg;
  const fs::path home = HomeFolder();
  return home.empty() ? fs::path() : home / ".config";
}

fs::path DataHome() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && *xdg == '/') return xdg;
  const fs::path home = HomeFolder();
  return home.empty() ? fs::path() : home / ".local" / "share";
}

// XDG_DESKTOP_DIR from the environment or from user-dirs.dirs
// (XDG_DESKTOP_DIR="$HOME/Desktop"); ~/Desktop when neither names it.
fs::path DesktopFolder() {
  const fs::path home = HomeFolder();
  const char* env = std::getenv("XDG_DESKTOP_DIR");
  if (env && *env == '/') return env;
  const fs::path config = ConfigHome();
  if (!config.empty()) {
    std::ifstream in(config / "user-dirs.dirs");
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const std::string key = "XDG_DESKTOP_DIR=";
      const auto start = line.find_first_not_of(" \t");
      if (start == std::string::npos || line.compare(start, key.size(), key) != 0) continue;
      std::string value = line.substr(start + key.size());
      if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
      if (value.rfind("$HOME", 0) == 0) {
        if (home.empty()) break;
        value = home.string() + value.substr(5);
      }
      if (!value.empty() && value.front() == '/' && value != home.string() && value != home.string() + "/")
        return value;
      break;  // a desktop that is the home folder itself: use the default
    }
  }
  return home.empty() ? fs::path() : home / "Desktop";
}

// A value of a desktop entry: backslash and control characters escaped.
std::string EntryValue(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

// The program as the first word of Exec: quoted, with the characters that
// are special inside quotes escaped, and "%" doubled.
std::string ExecProgram(const std::string& path) {
  std::string quoted = "\"";
  for (char c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    if (c == '%') quoted += '%';
    quoted += c;
  }
  quoted += '"';
  return EntryValue(quoted);
}

std::string DesktopEntryText(ShortcutPlace place, const fs::path& exePath) {
  const fs::path dir = exePath.parent_path();
  std::string text = "[Desktop Entry]\n";
  text += "Type=Application\n";
  text += "Version=1.0\n";
  text += "Name=Vostrel\n";
  text += "GenericName=NC program compiler\n";
  text += "GenericName[ja]=NCプログラム コンパイラ\n";
  text += "Comment=Compile CNC part programs with definitions, checks and Macro A conversion\n";
  text += "Comment[ja]=定義・構文ﾁｪｯｸ・マクロＡ変換付きの NC プログラム コンパイラ\n";
  text += "Exec=" + ExecProgram(exePath.string()) + " %f\n";
  text += "Path=" + EntryValue(dir.string()) + "\n";
  text += "Icon=" + EntryValue((ShippedFilesDir(dir) / kIconFileName).string()) + "\n";
  text += "Terminal=false\n";
  text += "Categories=Development;Engineering;\n";
  if (place == ShortcutPlace::SendTo)
    text += "MimeType=text/plain;text/x-gcode;\n";
  return text;
}

}  // namespace

fs::path ShortcutPath(ShortcutPlace place) {
  const fs::path folder = place == ShortcutPlace::Desktop ? DesktopFolder() : DataHome() / "applications";
  if (folder.empty() || folder == fs::path("applications")) return {};
  return folder / "Vostrel.desktop";
}

bool CreateShortcut(ShortcutPlace place, const fs::path& exePath) {
  const fs::path path = ShortcutPath(place);
  if (path.empty() || exePath.empty()) return false;
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  if (ec) return false;

  const std::string text = DesktopEntryText(place, exePath);
  const QString file = QString::fromStdString(path.string());
  if (!SaveFileAtomically(path, text)) return false;
  // A launcher on the desktop must be executable, and trusted where the
  // desktop asks for it, or it is shown as a text file.
  QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                  QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
  if (place == ShortcutPlace::Desktop) {
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (!gio.isEmpty()) {
      QProcess process;
      process.start(gio, {QStringLiteral("set"), file, QStringLiteral("metadata::trusted"), QStringLiteral("true")});
      if (process.waitForStarted(3000) && !process.waitForFinished(5000)) process.kill();
    }
  } else {
    const QString update = QStandardPaths::findExecutable(QStringLiteral("update-desktop-database"));
    if (!update.isEmpty()) {
      QProcess process;
      process.start(update, {QString::fromStdString(path.parent_path().string())});
      if (process.waitForStarted(3000) && !process.waitForFinished(5000)) process.kill();
    }
  }
  return true;
}

}  // namespace vostrel::platform
