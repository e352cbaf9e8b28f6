#!/usr/bin/env bash
# Web figures: the page's weight (wasm, data, script; raw and gzip -9), and
# time to the first frame and frames per second of the page in headless
# Chromium (SwiftShader) against the native program under Xvfb (Mesa's
# llvmpipe): the software rasteriser each side has on a machine without a
# GPU. The page presents on the browser's animation frames; the native
# program runs unpaced (OSTREVIN_VSYNC=0). Not part of ./test.sh.
#
#   bench/web/bench-web.sh [--runs N] [--frames N]
# Needs the page (scripts/web.sh) and a native build (build/, or
# OSTREVIN_WEB_HOST_BUILD). Prints one line per figure and run.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
OUT=${OSTREVIN_WEB_BUILD:-$ROOT/build-web}
HOST=${OSTREVIN_WEB_HOST_BUILD:-$ROOT/build}
RUNS=3
FRAMES=300
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) RUNS=$2; shift 2 ;;
    --frames) FRAMES=$2; shift 2 ;;
    *) echo "usage: $0 [--runs N] [--frames N]" >&2; exit 2 ;;
  esac
done
PAGE=$OUT/wasm/page
[ -f "$PAGE/ostrevin.wasm" ] || { echo "no page: run scripts/web.sh first" >&2; exit 1; }

echo "== page weight (bytes)"
total=0
totalz=0
for f in ostrevin.wasm ostrevin.data ostrevin.js index.html; do
  raw=$(stat -c %s "$PAGE/$f")
  gz=$(gzip -9 -c "$PAGE/$f" | wc -c)
  total=$((total + raw))
  totalz=$((totalz + gz))
  printf '%-14s raw=%9d gzip=%9d\n' "$f" "$raw" "$gz"
done
printf '%-14s raw=%9d gzip=%9d\n' total "$total" "$totalz"

work=$(mktemp -d)
cleanup() {
  [ -n "${own_xvfb:-}" ] && kill "$(cat "$work/xvfb.pid")" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  own_xvfb=1
  DISPLAY=":$(XVFB_PID_FILE="$work/xvfb.pid" "$ROOT/scripts/xvfb.sh")"
  export DISPLAY
fi

echo "== headless Chromium, $FRAMES frames"
node "$ROOT/bench/web/page-figures.mjs" "$PAGE" "$(command -v chromium)" "$OUT/node" "$FRAMES" "$RUNS"

echo "== native under Xvfb, $FRAMES frames"
cp -r "$HOST/demo" "$work/native"
export XDG_CACHE_HOME=$work/cache  # a cold compiled-shader cache, as the page has none
for run in $(seq 1 "$RUNS"); do
  rm -rf "$work/cap" "$XDG_CACHE_HOME"
  mkdir -p "$work/cap"
  start=$(date +%s%N)
  (cd "$work/native" && OSTREVIN_MESSAGEBOX=0 OSTREVIN_VSYNC=0 OSTREVIN_STATS=1 OSTREVIN_EXIT_AFTER=$FRAMES \
     OSTREVIN_CAPTURE="$work/cap" OSTREVIN_CAPTURE_FRAMES=1 ./ostrevin 2>"$work/stderr") &
  pid=$!
  first=""
  while kill -0 "$pid" 2>/dev/null; do
    if [ -z "$first" ] && [ -f "$work/cap/frame-00001.png" ]; then first=$((($(date +%s%N) - start) / 1000000)); fi
    sleep 0.01
  done
  wait "$pid"
  stats=$(grep -o 'fps=[0-9.]* cpu_ms_per_frame=[0-9.]*' "$work/stderr" || true)
  echo "native run $run: first_frame_ms=${first:-?} $stats"
done
