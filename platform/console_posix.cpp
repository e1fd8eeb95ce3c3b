#include "platform/console.h"

#include <signal.h>

#include <atomic>
#include <cstdlib>

#include "platform/atomic_file.h"

namespace vostrel::platform {

namespace {

void (*g_onStop)(int) = nullptr;
std::atomic<bool> g_stopped{false};

extern "C" void OnStopSignal(int signal) {
  if (!g_stopped.exchange(true)) {
    if (g_onStop) g_onStop(128 + signal);
    return;
  }
  RemovePendingTempFiles();
  std::_Exit(128 + signal);
}

}  // namespace

std::vector<std::string> Utf8Arguments(int argc, char** argv) { return {argv + 1, argv + argc}; }

void UseUtf8Console() {}

void UseBinaryInput() {}

void CatchStopRequests(void (*onStop)(int status)) {
  g_onStop = onStop;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

}  // namespace vostrel::platform
