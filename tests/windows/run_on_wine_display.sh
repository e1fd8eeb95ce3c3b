#!/bin/sh
# Runs a command that starts Windows programs under Wine on a virtual X
# display with a window manager, in a Wine prefix of its own.
# Usage: tests/windows/run_on_wine_display.sh NEEDED_FILE COMMAND [ARGS...]
# Exits 77 (skipped), saying why, when NEEDED_FILE (the cross-built program
# the command needs) is missing or when Xvfb, openbox or Wine is not installed.
set -u
needed=$1; shift
if [ ! -e "$needed" ]; then
  echo "skipped: $needed is not built (the Windows desktop program needs Qt for MinGW-w64: make windows builds it once)"
  exit 77
fi
for tool in Xvfb openbox /usr/lib/wine/wine64 /usr/lib/wine/wineserver; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "skipped: $tool is not installed (Debian packages xvfb, openbox and wine64)"
    exit 77
  fi
done
work=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.05; done
if [ ! -s "$work/display" ]; then
  echo "skipped: Xvfb did not start"; cat "$work/xvfb.log"
  kill "$xvfb" 2>/dev/null; rm -rf "$work"; exit 77
fi
DISPLAY=:$(cat "$work/display"); export DISPLAY
openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm=$!
# A prefix of its own, so that nothing of another run (a lock, settings,
# an installed copy) is seen.
WINEPREFIX=${WINEPREFIX_FOR_TESTS:-$work/prefix}; export WINEPREFIX
WINEDEBUG=-all; export WINEDEBUG
unset QT_QPA_PLATFORM
/usr/lib/wine/wine64 cmd /c exit >/dev/null 2>&1  # makes the prefix
"$@"
rc=$?
/usr/lib/wine/wineserver -k 2>/dev/null
kill "$wm" "$xvfb" 2>/dev/null
wait 2>/dev/null
rm -rf "$work"
exit $rc
