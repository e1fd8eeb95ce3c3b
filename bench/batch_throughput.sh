#!/bin/sh
# Batch throughput: PROGRAMS generated macro programs of LINES lines each
# (the size of the real programs), every option on, compiled with -j 1 and
# then with -j N; prints both times and the speed-up.
# Usage: bench/batch_throughput.sh BUILD_DIR [PROGRAMS] [LINES] [N]
# Every output file is flushed to disk before it is renamed into place; on a
# busy disk those waits are a large part of the time. TMPDIR=/dev/shm puts
# the files in memory and times the compiling alone. On a machine busy with
# other work, the speed-up shows only what share of the processors the
# benchmark gets.
set -eu
build=$1
programs=${2:-200}
lines=${3:-8000}
jobs=${4:-2}
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
mkdir "$work/src" "$work/one" "$work/many"
# Programs of different lengths and definition counts, so that the sources
# of one batch take different times.
i=0
while [ $i -lt "$programs" ]; do
  "$build/bin/gen_macro" $((lines - 500 + (i * 37) % 1000)) $((100 + (i * 13) % 200)) > "$work/src/P$i.nc"
  i=$((i + 1))
done
options="-q --ini /dev/null --set EndChar=Y --set chg16_10=Y --set Chg_MacroA=Y --set End_set=Y"
run() {
  /usr/bin/time -f '%e %U %S' -o "$work/time" "$build/bin/vostrelc" $options -j "$1" -d "$2" "$work"/src/*.nc 2>/dev/null
  cat "$work/time"
}
one=$(run 1 "$work/one")
many=$(run "$jobs" "$work/many")
diff -r "$work/one" "$work/many" >/dev/null || { echo "the outputs of -j 1 and -j $jobs differ" >&2; exit 1; }
echo "$one $many" | awk -v p="$programs" -v l="$lines" -v j="$jobs" -v load="$(cut -d' ' -f1-3 /proc/loadavg)" '{
  printf "vostrelc batch: %d programs of about %d lines, every option on (load average %s)\n", p, l, load
  printf "  -j 1: %.2f s, %.1f programs/s, CPU %.2f s\n", $1, p / $1, $2 + $3
  printf "  -j %d: %.2f s, %.1f programs/s, CPU %.2f s\n", j, $4, p / $4, $5 + $6
  printf "  speed-up %.2fx\n", $1 / $4 }'
