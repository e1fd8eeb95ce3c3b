#!/bin/sh
# Runs a command on a virtual X display with a window manager, so that
# windows get real frames. Exits 77 (skipped) when either is not installed.
# Usage: tests/run_under_window_manager.sh COMMAND [ARGS...]
set -u
for tool in Xvfb openbox; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "skipped: $tool is not installed (Debian packages xvfb and openbox)"
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
sleep 1  # the window manager takes over the display
QT_QPA_PLATFORM=xcb "$@"
rc=$?
kill "$wm" "$xvfb" 2>/dev/null
wait 2>/dev/null
rm -rf "$work"
exit $rc
