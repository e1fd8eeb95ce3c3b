#!/bin/bash
# Kills vostrelc again and again while it replaces a 90 MB output, and
# checks that the output is always the old program or the new one, whole,
# and that no temporary file outlives the next run.
# Usage: bench/kill_loop.sh BUILD_DIR [COUNT] [SIGNAL]
#   SIGNAL: KILL (default; one kill while the output is written), or TERM,
#   HUP, INT (one signal at a random moment of the run, or two in a row
#   when the name ends in 2, e.g. TERM2).
# SHIM=1 preloads the test library that takes unnamed temporary files away
# (as on FAT), so that the temporary file has a name.
set -eu
build=$(cd "$1" && pwd); count=${2:-100}; signal=${3:-KILL}
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
cd "$work"
awk 'BEGIN { for (i = 0; size < 100 * 2^20; i++) { l = sprintf("N%d G01 X%d.5 Y-3.25 F%d", i, i % 500, 100 + i % 7);
              print l "\r"; size += length(l) + 2 } }' > src.nc
vostrelc=("$build/bin/vostrelc" -q --ini /dev/null --word-list "$build/bin/ChkData.lst" --force -o OUT.NC)
run() { "${vostrelc[@]}" "$@"; }
preload=""; [ "${SHIM:-}" = 1 ] && preload="$build/libno_tmpfile_shim.so"
start=$(date +%s.%N); run src.nc; runtime=$(echo "$(date +%s.%N) - $start" | bc)
new=$(md5sum < OUT.NC)
sed '1s/^/(OLD)/' OUT.NC > old.keep; old=$(md5sum < old.keep)  # the program being replaced
cp old.keep OUT.NC
temps() { find . -maxdepth 1 -name 'OUT.NC.vostrel-*' | wc -l; }
damaged=0; asOld=0; asNew=0; leftAfterKill=0; statuses=""
for ((i = 1; i <= count; i++)); do
  LD_PRELOAD=$preload "${vostrelc[@]}" src.nc 2>/dev/null & pid=$!
  case $signal in
    KILL)  # once the output is being written: a file of the process in this folder
      while kill -0 $pid 2>/dev/null && ! ls -l /proc/$pid/fd 2>/dev/null | grep -q -e "$work/#" -e "$work/OUT.NC.vostrel-"; do
        sleep 0.002
      done
      sleep "0.$(printf '%03d' $((RANDOM % 400)))"
      kill -KILL $pid 2>/dev/null || true ;;
    *)
      sleep "$(echo "scale=3; $runtime * $((RANDOM % 1000)) / 1000" | bc)"
      kill -"${signal%2}" $pid 2>/dev/null || true
      if [ "${signal: -1}" = 2 ]; then sleep 0.05; kill -"${signal%2}" $pid 2>/dev/null || true; fi ;;
  esac
  set +e; wait $pid 2>/dev/null; status=$?; set -e
  statuses="$statuses $status"
  sum=$(md5sum < OUT.NC)
  if [ "$sum" = "$old" ]; then asOld=$((asOld + 1))
  elif [ "$sum" = "$new" ]; then asNew=$((asNew + 1))
  else damaged=$((damaged + 1)); fi
  leftAfterKill=$((leftAfterKill + $(temps)))
  [ "$sum" = "$new" ] && cp old.keep OUT.NC  # the next round replaces the old program again
done
run src.nc  # the next run
[ "$(md5sum < OUT.NC)" = "$new" ] || echo "the next run did not write the new program"
echo "$count x $signal${SHIM:+ (no unnamed temporary files)}: old $asOld, new $asNew, damaged $damaged;" \
     "temporary files seen after the signals $leftAfterKill, after the next run $(temps)"
echo "exit statuses:$(echo $statuses | tr ' ' '\n' | sort -n | uniq -c | awk '{ printf " %s x%s", $2, $1 }')"
