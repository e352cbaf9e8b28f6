#!/usr/bin/env bash
# Instructions per frame of bench_device_calls' two loops, under callgrind:
# a measure that does not depend on the machine's load. Two runs of one
# block each, of N1 and N2 counted frames; the difference of their counts
# over N2 - N1 frames leaves out what happens once (the program's link, the
# driver's shader compilation at the first draws).
#
#   bench/device_calls/callgrind.sh BENCH_BINARY [N1 N2] [TOP]
#
# Prints instructions per frame of the layer's frame and the direct one, then
# the TOP (default 25) functions by inclusive instructions per layer frame.
# Needs a display (DISPLAY), like the benchmark itself.
set -euo pipefail
BIN="$(realpath "$1")"
N1="${2:-100}"
N2="${3:-2100}"
TOP="${4:-25}"
WORK="$(mktemp -d /tmp/devcalls-callgrind.XXXXXX)"
[ -n "${KEEP:-}" ] || trap 'rm -rf "$WORK"' EXIT

# The two frames are out-of-line lambdas of main (see DeviceCallsBench.cpp).
LAYER='main::{lambda()#3}::operator()() const'
DIRECT='main::{lambda()#4}::operator()() const'
for n in "$N1" "$N2"; do
  (cd "$WORK" && valgrind --tool=callgrind --collect-atstart=no --toggle-collect="$LAYER" --toggle-collect="$DIRECT" \
     --callgrind-out-file="$WORK/cg.$n" "$BIN" "$n" 1 >"$WORK/out.$n" 2>"$WORK/err.$n") &
done
wait
for n in "$N1" "$N2"; do
  # The summary's lines: "N (P%)  file:function [object]".
  callgrind_annotate --inclusive=yes --threshold=100 --auto=no "$WORK/cg.$n" 2>/dev/null |
    sed -n -E 's/^ *([0-9,]+) +\( *[0-9.]+%\) +([^=].*) \[[^]]*\]$/\1\t\2/p' | tr -d , \
    >"$WORK/fn.$n"
done
# Per frame: (count at N2 - count at N1) / (N2 - N1).
awk -F'\t' -v d="$((N2 - N1))" -v top="$TOP" -v layer="$LAYER" -v direct="$DIRECT" '
  FNR == NR { a[$2] = $1; next }
  { per[$2] = ($1 - a[$2]) / d }
  END {
    for (k in per) { if (index(k, layer)) l = per[k]; if (index(k, direct)) g = per[k] }
    printf "instructions per frame: layer %.0f, direct %.0f, ratio %.3fx\n", l, g, (g > 0 ? l / g : 0)
    n = 0
    for (k in per) if (per[k] >= 1) keys[n++] = k
    # sort by value, descending
    for (i = 0; i < n; i++) for (j = i + 1; j < n; j++) if (per[keys[j]] > per[keys[i]]) { t = keys[i]; keys[i] = keys[j]; keys[j] = t }
    for (i = 0; i < n && i < top; i++) { name = keys[i]; if (match(name, /^(\?\?\?|\/[^:]*):/)) name = substr(name, RLENGTH + 1); if (length(name) > 110) name = substr(name, 1, 110); printf "%10.0f  %s\n", per[keys[i]], name }
  }' "$WORK/fn.$N1" "$WORK/fn.$N2"
