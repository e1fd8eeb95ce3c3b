#pragma once
// The system side of the stop requests: each system installs handlers that
// pass every request to StopRequested.

namespace vostrel::platform {

// Sets the cancel flag at the first request; at the second, removes the
// pending temporary files and ends the process (128 + signal). Safe in a
// signal handler.
void StopRequested(int signal) noexcept;

void InstallStopHandlers();

}  // namespace vostrel::platform
