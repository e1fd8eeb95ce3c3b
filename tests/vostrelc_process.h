#pragma once
// Starting vostrelc for an end-to-end test: the program itself, or, built
// with VOSTRELC_LAUNCHER, the Windows vostrelc.exe under Wine.

#include <QProcess>
#include <QStringList>

#include <filesystem>
#include <string>

#include <signal.h>

#include "tests/test_support.h"

namespace vostrel::test {

inline void StartVostrelc(QProcess& process, const QStringList& args) {
#ifdef VOSTRELC_LAUNCHER
  process.start(VOSTRELC_LAUNCHER, QStringList{VOSTRELC_PATH} + args);
#else
  process.start(VOSTRELC_PATH, args);
#endif
}

// Runs vostrelc to the end; false when it did not finish in time. Standard
// error goes to `standardError`; standard output stays in `process`.
inline bool RunVostrelc(QProcess& process, const QStringList& args, std::string& standardError,
                        int timeoutMs = 120000) {
  for (int attempt = 1;; ++attempt) {
    StartVostrelc(process, args);
    if (!process.waitForFinished(timeoutMs)) return false;
    standardError = process.readAllStandardError().toStdString();
#ifdef VOSTRELC_LAUNCHER
    if (attempt < 3 && process.exitCode() != 0 && WineDidNotStartTheProgram(standardError)) continue;
#endif
    return true;
  }
}

// Reads the program's standard error into `log` until it holds `marker`,
// then sends `signal`. False when the program ended first.
inline bool SignalWhenLogShows(QProcess& process, const std::string& marker, int signal, std::string& log) {
  while (log.find(marker) == std::string::npos && process.state() == QProcess::Running) {
    process.waitForReadyRead(100);
    log += process.readAllStandardError().toStdString();
  }
  // A finished process has no id (and kill(0) would hit the test itself);
  // until QProcess reaps it, the id stays valid even if it has just ended.
  const qint64 pid = process.processId();
  return process.state() == QProcess::Running && pid > 0 && ::kill(static_cast<pid_t>(pid), signal) == 0;
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
