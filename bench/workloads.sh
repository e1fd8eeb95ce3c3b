#!/bin/sh
# Times vostrelc on every kind of program the benches generate, each with
# every option on, through run_vostrelc.sh (ratios to mawk in the same run):
# the CAM program (also with --stdout and --check), the macro program with
# 2,000 and 20,000 definitions, long, Shift-JIS and repeated names, and a
# hex-heavy program.
# Usage: bench/workloads.sh BUILD_DIR [LINES]
set -eu
build=$1
lines=${2:-1000000}
here=$(dirname "$0")
every="--set EndChar=Y --set chg16_10=Y --set Chg_MacroA=Y"
"$here/run_vostrelc.sh" "$build" "$lines" $every
MODE=stdout "$here/run_vostrelc.sh" "$build" "$lines" $every
MODE=check "$here/run_vostrelc.sh" "$build" "$lines" $every
GENERATOR=gen_macro DEFINITIONS=2000 "$here/run_vostrelc.sh" "$build" "$lines" $every
GENERATOR=gen_macro DEFINITIONS=20000 "$here/run_vostrelc.sh" "$build" "$lines" $every
for kind in long sjis repeat; do
  GENERATOR=gen_names DEFINITIONS=20000 KIND=$kind "$here/run_vostrelc.sh" "$build" "$lines" $every
done
GENERATOR=gen_hex "$here/run_vostrelc.sh" "$build" "$lines" $every
