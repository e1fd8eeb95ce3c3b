#pragma once
// Keeps the screen saver (and sleep) off while a run goes on: on Linux
// through the desktop's screen saver service on the session bus, on Windows
// through the thread's execution state. Without a bus or a service nothing
// happens and nothing is reported.

namespace vostrel::platform {

class ScreenSaverInhibitor {
 public:
  ScreenSaverInhibitor() = default;
  ~ScreenSaverInhibitor() { Allow(); }
  ScreenSaverInhibitor(const ScreenSaverInhibitor&) = delete;
  ScreenSaverInhibitor& operator=(const ScreenSaverInhibitor&) = delete;

  void Inhibit();
  void Allow();
  bool Inhibited() const { return inhibited_; }

 private:
  bool inhibited_ = false;   // our request is in force (or would be, without a service)
  unsigned cookie_ = 0;        // the session bus service's receipt (Linux)
  bool haveCookie_ = false;
};

}  // namespace vostrel::platform
