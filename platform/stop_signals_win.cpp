#include "platform/stop_signals.h"

#include <csignal>
#include <cstdlib>

#include "platform/atomic_file.h"

namespace vostrel::platform {

namespace {

std::atomic<bool>* g_cancelFlag = nullptr;
volatile std::sig_atomic_t g_signal = 0;

extern "C" void OnStopSignal(int signal) {
  if (g_signal == 0) {
    g_signal = signal;
    if (g_cancelFlag) g_cancelFlag->store(true);
    std::signal(signal, OnStopSignal);  // the handler is reset on every call
    return;
  }
  RemovePendingTempFiles();
  std::_Exit(128 + signal);
}

}  // namespace

void CatchStopSignals(std::atomic<bool>& cancelFlag) {
  g_cancelFlag = &cancelFlag;
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
}

int CaughtStopSignal() { return g_signal; }

int StopSignalExitStatus() { return 128 + (g_signal ? g_signal : SIGINT); }

}  // namespace vostrel::platform
