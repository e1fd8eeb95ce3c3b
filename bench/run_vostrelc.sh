#!/bin/sh
# Times vostrelc on a generated program: wall time, MB/s and peak memory.
# Usage: bench/run_vostrelc.sh BUILD_DIR [LINES] [vostrelc options...]
# GENERATOR=gen_macro (with DEFINITIONS=N), gen_hex or gen_names (with
# DEFINITIONS=N and KIND=long|sjis|repeat) times another program instead of
# the CAM program. MODE=stdout or MODE=check times --stdout (to /dev/null)
# or --check in place of -o.
set -eu
build=$1; shift
lines=${1:-1000000}; [ $# -gt 0 ] && shift
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
generator=${GENERATOR:-gen_cam}
"$build/bin/$generator" "$lines" ${DEFINITIONS:-} ${KIND:-} > "$work/cam.nc"
bytes=$(wc -c < "$work/cam.nc")
case ${MODE:-file} in
  stdout) set -- "$@" --stdout ;;
  check) set -- "$@" --check ;;
  *) set -- "$@" -o "$work/out.nc" ;;
esac
/usr/bin/time -f '%e %M' -o "$work/time" "$build/bin/vostrelc" -q --ini /dev/null "$@" "$work/cam.nc" > /dev/null || echo "exit status $?"
read -r secs kb < "$work/time"
awk -v g="$generator" -v k="${KIND:+ $KIND}${MODE:+, $MODE}" -v b="$bytes" -v s="$secs" -v kb="$kb" -v l="$lines" 'BEGIN {
  printf "vostrelc (%s%s): %d lines, %.1f MB in %.2f s = %.1f MB/s, peak memory %.0f MB (%.2f x the source)\n",
         g, k, l, b / 1e6, s, (s > 0 ? b / 1e6 / s : 0), kb / 1024, kb * 1024 / b }'
# The yardstick: mawk doing a small part of the job (comments, blanks, upper
# case) on the same file, timed in the same run.
if command -v mawk > /dev/null; then
  /usr/bin/time -f '%e' -o "$work/mawk_time" mawk '{sub(/;.*/,""); gsub(/[ \t]/,""); print toupper($0)}' \
    "$work/cam.nc" > /dev/null
  read -r mawk_secs < "$work/mawk_time"
  awk -v s="$secs" -v m="$mawk_secs" 'BEGIN {
    printf "mawk subset: %.2f s; vostrelc / mawk = %.2f\n", m, (m > 0 ? s / m : 0) }'
fi
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
