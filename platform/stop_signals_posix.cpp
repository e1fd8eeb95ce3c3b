#include <initializer_list>

#include <signal.h>

#include "platform/stop_signals_install.h"

namespace vostrel::platform {

namespace {

extern "C" void OnStopSignal(int signal) { StopRequested(signal); }

}  // namespace

// Ctrl-C, SIGTERM and SIGHUP.
void InstallStopHandlers() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

}  // namespace vostrel::platform
