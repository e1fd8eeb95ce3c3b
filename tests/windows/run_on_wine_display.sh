#!/bin/sh
# Runs a command that starts Windows programs under Wine, on the virtual
# display with a window manager of tests/run_under_window_manager.sh, in a
# Wine prefix of its own (so that nothing of another run is seen: a lock,
# settings, an installed copy).
# Usage: tests/windows/run_on_wine_display.sh NEEDED_FILE COMMAND [ARGS...]
# Exits 77 (skipped), saying why, when NEEDED_FILE (the cross-built program
# the command needs) is missing or when Wine, Xvfb or openbox is not installed.
set -u
needed=$1; shift
if [ ! -e "$needed" ]; then
  echo "skipped: $needed is not built (the Windows desktop program needs Qt for MinGW-w64: make windows builds it once)"
  exit 77
fi
for tool in /usr/lib/wine/wine64 /usr/lib/wine/wineserver; do
  if [ ! -x "$tool" ]; then
    echo "skipped: $tool is not installed (Debian package wine64)"
    exit 77
  fi
done
work=$(mktemp -d)
WINEPREFIX=$work/prefix; export WINEPREFIX
WINEDEBUG=-all; export WINEDEBUG
"$(dirname "$0")/../run_under_window_manager.sh" sh -c '
  unset QT_QPA_PLATFORM  # the Windows programs use their own platform
  /usr/lib/wine/wine64 cmd /c exit >/dev/null 2>&1  # makes the prefix
  "$@"; rc=$?
  /usr/lib/wine/wineserver -k 2>/dev/null
  exit $rc' sh "$@"
rc=$?
rm -rf "$work"
exit $rc
