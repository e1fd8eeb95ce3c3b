#pragma once
// What a command-line program needs from the system: its arguments as
// UTF-8, output that the console shows as UTF-8, and stop requests
// (Ctrl-C, the terminal or console closed, a termination request).

#include <string>
#include <vector>

namespace vostrel::platform {

// The command-line arguments after the program name, as UTF-8.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Standard output and error carry bytes as written (no line-end
// translation), and a console shows them as UTF-8.
void UseUtf8Console();

// Standard input carries bytes as sent (no line-end translation), for a
// protocol spoken over it.
void UseBinaryInput();

// A first stop request calls `onStop` with the exit status it stands for:
// 128 + the signal number (130 Ctrl-C, 129 hangup or console closed, 143
// termination). A second one removes the temporary files of saves under way
// and ends the process at once with that status. `onStop` may run in a
// signal handler or on another thread: it may only set atomic flags.
void CatchStopRequests(void (*onStop)(int status));

}  // namespace vostrel::platform
