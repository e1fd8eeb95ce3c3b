#include "platform/screen_saver.h"

#include <windows.h>

namespace vostrel::platform {

// The state belongs to the calling thread: the window's, which lives as
// long as the program.
void ScreenSaverInhibitor::Inhibit() {
  if (inhibited_) return;
  inhibited_ = true;
  SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED);
}

void ScreenSaverInhibitor::Allow() {
  if (!inhibited_) return;
  inhibited_ = false;
  SetThreadExecutionState(ES_CONTINUOUS);
}

}  // namespace vostrel::platform
