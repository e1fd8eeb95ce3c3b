# The window tests left out when gui_tests.exe runs under Wine, each with
# its reason (a ":"-separated gtest filter).
set(VOSTREL_GUI_TESTS_NOT_ON_WINDOWS
  # The frames of a Linux window manager.
  "WindowManager.*"
)
list(JOIN VOSTREL_GUI_TESTS_NOT_ON_WINDOWS ":" VOSTREL_GUI_TESTS_NOT_ON_WINDOWS)
