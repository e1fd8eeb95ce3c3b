// Test helper for the Windows cases: runs a command in this console with
// its standard error read here, presses Ctrl-C in the console as soon as
// the command's run log shows a stage that has started, and ends with the
// command's exit status. Needs a real console (under Wine: a terminal).

#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  std::wstring command;
  for (int i = 1; i < argc; ++i) command += std::wstring(L"\"") + argv[i] + L"\" ";

  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return 2;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = writeEnd;
  PROCESS_INFORMATION child{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child)) {
    std::printf("cannot start the command (%lu)\n", GetLastError());
    return 2;
  }
  CloseHandle(writeEnd);
  SetConsoleCtrlHandler(nullptr, TRUE);  // the Ctrl-C is for the command only

  std::string log;
  bool pressed = false;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    log.append(buffer, got);
    if (!pressed && log.find(" -- \xE9\x96\x8B\xE5\xA7\x8B") != std::string::npos) {  // " -- 開始"
      pressed = GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
      if (!pressed) std::printf("cannot press Ctrl-C (%lu)\n", GetLastError());
    }
  }
  WaitForSingleObject(child.hProcess, INFINITE);
  DWORD status = 0;
  GetExitCodeProcess(child.hProcess, &status);
  std::printf("exit %lu\n", status);
  return static_cast<int>(status);
}
