#pragma once
// Stop requests from outside a command-line run: Ctrl-C, SIGTERM and SIGHUP.

#include <atomic>

namespace vostrel::platform {

// The first stop request sets `cancelFlag` (the run stops at its next cancel
// check). A second one removes the named temporary files of saves under way
// and ends the process at once, with 128 + the signal number.
void CatchStopSignals(std::atomic<bool>& cancelFlag);

// The signal of the first stop request, 0 when there was none.
int CaughtStopSignal();

// The exit status of a run ended by a stop request: 128 + its signal number
// (130 for Ctrl-C).
int StopSignalExitStatus();

}  // namespace vostrel::platform
