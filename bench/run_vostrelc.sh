#!/bin/sh
# Times vostrelc on a generated program: wall time, MB/s and peak memory.
# Usage: bench/run_vostrelc.sh BUILD_DIR [LINES] [vostrelc options...]
# GENERATOR=gen_macro (with DEFINITIONS=N) times a macro program instead of
# the CAM program.
set -eu
build=$1; shift
lines=${1:-1000000}; [ $# -gt 0 ] && shift
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
generator=${GENERATOR:-gen_cam}
"$build/bin/$generator" "$lines" ${DEFINITIONS:-} > "$work/cam.nc"
bytes=$(wc -c < "$work/cam.nc")
/usr/bin/time -f '%e %M' -o "$work/time" "$build/bin/vostrelc" -q --ini /dev/null "$@" -o "$work/out.nc" "$work/cam.nc"
read -r secs kb < "$work/time"
awk -v g="$generator" -v b="$bytes" -v s="$secs" -v kb="$kb" -v l="$lines" 'BEGIN {
  printf "vostrelc (%s): %d lines, %.1f MB in %.2f s = %.1f MB/s, peak memory %.0f MB\n",
         g, l, b / 1e6, s, (s > 0 ? b / 1e6 / s : 0), kb / 1024 }'
