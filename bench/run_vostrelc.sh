#!/bin/sh
# Times vostrelc on a generated program: wall time, MB/s and peak memory.
# Usage: bench/run_vostrelc.sh BUILD_DIR [LINES] [vostrelc options...]
# GENERATOR=gen_macro (with DEFINITIONS=N), gen_hex or gen_names (with
# DEFINITIONS=N and KIND=long|sjis|repeat) times another program instead of
# the CAM program. MODE=stdout or MODE=check times --stdout (to /dev/null)
# or --check in place of -o. ROUNDS=N takes medians of N alternating runs.
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
# ROUNDS=N runs vostrelc and the yardstick N times each, alternating, and
# reports the medians (wall time, peak memory).
rounds=${ROUNDS:-1}
: > "$work/times"; : > "$work/mawk_times"
# The yardstick: mawk doing a small part of the job (comments, blanks, upper
# case) on the same file, timed in the same run.
have_mawk=$(command -v mawk || true)
i=0
while [ "$i" -lt "$rounds" ]; do
  # Wall time to the millisecond (time's own figure has two decimals).
  start=$(date +%s%N)
  /usr/bin/time -f '%M' -o "$work/time" "$build/bin/vostrelc" -q --ini /dev/null "$@" "$work/cam.nc" > /dev/null || echo "exit status $?"
  end=$(date +%s%N)
  echo "$(( (end - start) / 1000000 )) $(cat "$work/time")" >> "$work/times"
  rm -f "$work/out.nc"
  if [ -n "$have_mawk" ]; then
    start=$(date +%s%N)
    mawk '{sub(/;.*/,""); gsub(/[ \t]/,""); print toupper($0)}' "$work/cam.nc" > /dev/null
    end=$(date +%s%N)
    echo "$(( (end - start) / 1000000 ))" >> "$work/mawk_times"
  fi
  i=$((i + 1))
done
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
secs=$(cut -d' ' -f1 "$work/times" | median | awk '{ print $1 / 1000 }')
kb=$(cut -d' ' -f2 "$work/times" | median)
awk -v g="$generator" -v k="${KIND:+ $KIND}${MODE:+, $MODE}" -v b="$bytes" -v s="$secs" -v kb="$kb" -v l="$lines" -v r="$rounds" 'BEGIN {
  printf "vostrelc (%s%s): %d lines, %.1f MB in %.3f s = %.1f MB/s, peak memory %.0f MB (%.2f x the source)%s\n",
         g, k, l, b / 1e6, s, (s > 0 ? b / 1e6 / s : 0), kb / 1024, kb * 1024 / b, (r > 1 ? ", medians of " r " rounds" : "") }'
if [ -n "$have_mawk" ]; then
  mawk_secs=$(median < "$work/mawk_times" | awk '{ print $1 / 1000 }')
  awk -v s="$secs" -v m="$mawk_secs" 'BEGIN {
    printf "mawk subset: %.3f s; vostrelc / mawk = %.2f\n", m, (m > 0 ? s / m : 0) }'
fi
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
