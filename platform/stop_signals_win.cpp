#include <csignal>

#include "platform/stop_signals_install.h"

namespace vostrel::platform {

namespace {

extern "C" void OnStopSignal(int signal) {
  std::signal(signal, OnStopSignal);  // the handler is reset on every call
  StopRequested(signal);
}

}  // namespace

// Ctrl-C and SIGTERM.
void InstallStopHandlers() {
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
}

}  // namespace vostrel::platform
