#include "platform/stop_signals.h"

#include <csignal>
#include <cstdlib>

#include "platform/atomic_file.h"
#include "platform/stop_signals_install.h"

namespace vostrel::platform {

namespace {

std::atomic<bool>* g_cancelFlag = nullptr;
volatile std::sig_atomic_t g_signal = 0;

}  // namespace

void StopRequested(int signal) noexcept {
  if (g_signal == 0) {
    g_signal = signal;
    if (g_cancelFlag) g_cancelFlag->store(true);
    return;
  }
  RemovePendingTempFiles();
  std::_Exit(128 + signal);
}

void CatchStopSignals(std::atomic<bool>& cancelFlag) {
  g_cancelFlag = &cancelFlag;
  InstallStopHandlers();
}

int CaughtStopSignal() { return g_signal; }

int StopSignalExitStatus() { return 128 + (g_signal ? g_signal : SIGINT); }

}  // namespace vostrel::platform
