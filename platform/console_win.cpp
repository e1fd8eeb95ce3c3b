#include "platform/console.h"

#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <cstdio>

#include "platform/atomic_file.h"

namespace vostrel::platform {

namespace {

constexpr int kInterrupted = 130;  // as SIGINT on other systems
constexpr int kConsoleClosed = 129;  // as SIGHUP

void (*g_onStop)(int) = nullptr;
std::atomic<bool> g_stopped{false};

// Runs on a thread of its own. Windows ends the process when the handler
// returns from a close, log-off or shut-down event: those end it at once.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  const bool interrupt = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
  const int status = interrupt ? kInterrupted : kConsoleClosed;
  if (interrupt && !g_stopped.exchange(true)) {
    if (g_onStop) g_onStop(status);
    return TRUE;
  }
  RemovePendingTempFiles();
  ExitProcess(static_cast<UINT>(status));
}

std::string Utf8(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  out.pop_back();  // the terminating NUL
  return out;
}

}  // namespace

// The arguments as typed, whatever the system's ANSI code page.
std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return {argv + 1, argv + argc};
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(Utf8(wide[i]));
  LocalFree(wide);
  return arguments;
}

// Standard error is buffered too: unbuffered, the C library would hand the
// console one byte at a time, and a console cannot show a UTF-8 character
// cut into bytes. std::cerr still flushes after every output.
void UseUtf8Console() {
  SetConsoleOutputCP(CP_UTF8);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  std::setvbuf(stderr, nullptr, _IOFBF, 1 << 16);
}

void UseBinaryInput() { _setmode(_fileno(stdin), _O_BINARY); }

void CatchStopRequests(void (*onStop)(int status)) {
  g_onStop = onStop;
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

}  // namespace vostrel::platform
