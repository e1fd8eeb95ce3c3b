#pragma once
// Starting vostrelc for an end-to-end test: the program itself, or, built
// with VOSTRELC_LAUNCHER, the Windows vostrelc.exe under Wine.

#include <QProcess>
#include <QStringList>

#include <filesystem>
#include <string>

namespace vostrel::test {

inline void StartVostrelc(QProcess& process, const QStringList& args) {
#ifdef VOSTRELC_LAUNCHER
  process.start(VOSTRELC_LAUNCHER, QStringList{VOSTRELC_PATH} + args);
#else
  process.start(VOSTRELC_PATH, args);
#endif
}

#ifdef VOSTRELC_LAUNCHER
inline bool WindowsToolsThere() {
  std::error_code ec;
  return std::filesystem::exists(VOSTRELC_PATH, ec) && std::filesystem::exists(VOSTRELC_LAUNCHER, ec);
}

inline std::string WindowsToolsMissing() {
  return std::string("Windows cases need ") + VOSTRELC_PATH + " (make windows-cli) and Wine (" +
         VOSTRELC_LAUNCHER + ")";
}
#endif

}  // namespace vostrel::test
