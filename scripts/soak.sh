#!/usr/bin/env bash
# Soak test, run by hand (not part of ./test.sh): ostrevin for many frames
# with a device loss every --loss-every frames (OSTREVIN_PRESENT_FAIL), its
# resident memory (VmRSS) sampled every --interval seconds. Passes when the
# RSS at the end (the last sample before exit) is within --tolerance KiB
# (default 1 MiB) of the RSS after the first --loss-every frames (just
# before the first loss), all frames ran, and no object is left alive. It
# also prints the growth over the second half of the run alone, where a leak
# keeps growing and a heap that settles early to its high-water mark does not.
#
#   scripts/soak.sh [--frames N] [--loss-every N] [--interval S] [--tolerance KIB]
# defaults: 100000 frames, a loss every 1000, a sample every 2 s.
# Build folder: $BENCH_BUILD_DIR (default: build-bench/ inside the source tree, ignored by git).
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${BENCH_BUILD_DIR:-$ROOT/build-bench}"
FRAMES=100000
LOSS_EVERY=1000
INTERVAL=2
TOLERANCE_KIB=1024
while [ $# -gt 0 ]; do
  case "$1" in
    --frames) FRAMES="$2"; shift 2 ;;
    --loss-every) LOSS_EVERY="$2"; shift 2 ;;
    --interval) INTERVAL="$2"; shift 2 ;;
    --tolerance) TOLERANCE_KIB="$2"; shift 2 ;;
    *) echo "usage: $0 [--frames N] [--loss-every N] [--interval S] [--tolerance KIB]" >&2; exit 2 ;;
  esac
done
if [ "$FRAMES" -le $((2 * LOSS_EVERY + 1)) ] || [ "$LOSS_EVERY" -lt 2 ]; then
  echo "soak.sh: --frames must be more than twice --loss-every (at least 2) plus one" >&2
  exit 2
fi

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$BUILD" --target ostrevin -j2 >/dev/null

export XVFB_PID_FILE
XVFB_PID_FILE="$(mktemp /tmp/ostrevin-soak-xvfb.XXXXXX)"
DISPLAY_NUMBER="$("$ROOT/scripts/xvfb.sh")"
export DISPLAY=":$DISPLAY_NUMBER"
LOG="$(mktemp /tmp/ostrevin-soak.XXXXXX)"
CHILD=""
MARK_DIR=""
cleanup() {
  if [ -n "$CHILD" ]; then kill "$CHILD" 2>/dev/null || true; fi
  if [ -s "$XVFB_PID_FILE" ]; then kill "$(cat "$XVFB_PID_FILE")" 2>/dev/null || true; fi
  rm -f "$XVFB_PID_FILE" "$LOG"
  if [ -n "$MARK_DIR" ]; then rm -rf "$MARK_DIR"; fi
}
trap cleanup EXIT

# Frames whose Present reports a loss: LOSS_EVERY, 2*LOSS_EVERY, ... below FRAMES.
FAIL_LIST="$(seq "$LOSS_EVERY" "$LOSS_EVERY" $((FRAMES - 1)) | paste -sd, -)"
LOSSES=$(( (FRAMES - 1) / LOSS_EVERY ))

# Two moments are marked by the layer's capture switch, which writes just
# those frames (the file's appearance marks the moment): frame LOSS_EVERY-1,
# the last before the first loss ("after 1,000 frames"), and frame
# 2*LOSS_EVERY+1, after the second loss and Reset, from which the growth per
# further loss is reported.
MARK_DIR="$(mktemp -d /tmp/ostrevin-soak-mark.XXXXXX)"
FIRST_FRAME=$((LOSS_EVERY - 1))
SECOND_FRAME=$((2 * LOSS_EVERY + 1))
FIRST_MARK="$MARK_DIR/$(printf 'frame-%05d.png' "$FIRST_FRAME")"
SECOND_MARK="$MARK_DIR/$(printf 'frame-%05d.png' "$SECOND_FRAME")"
cd "$BUILD/demo"
env OSTREVIN_VSYNC=0 OSTREVIN_STATS=1 OSTREVIN_MESSAGEBOX=0 OSTREVIN_EXIT_AFTER="$FRAMES" \
  OSTREVIN_PRESENT_FAIL="$FAIL_LIST" OSTREVIN_CAPTURE="$MARK_DIR" OSTREVIN_CAPTURE_FRAMES="$FIRST_FRAME,$SECOND_FRAME" \
  ./ostrevin 2>"$LOG" >/dev/null &
CHILD=$!
start=$(date +%s.%N)

first_rss=""
first_at=""
second_rss=""
last_rss=""
samples=0
sample_t=()
sample_rss=()
next_sample=0
printf 'soak: %d frames, a loss every %d (%d losses), RSS every %ss\n' "$FRAMES" "$LOSS_EVERY" "$LOSSES" "$INTERVAL"
printf '%8s %12s\n' seconds rss_kib
while kill -0 "$CHILD" 2>/dev/null; do
  rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$CHILD/status" 2>/dev/null || true)
  [ -n "$rss" ] || break
  now=$(awk -v a="$(date +%s.%N)" -v b="$start" 'BEGIN { printf "%.1f", a - b }')
  if [ -z "$first_rss" ] && [ -e "$FIRST_MARK" ]; then
    first_rss=$rss
    first_at=$now
    printf '%8s %12d   <- frame %d presented\n' "$now" "$rss" "$FIRST_FRAME"
  fi
  if [ -z "$second_rss" ] && [ -e "$SECOND_MARK" ]; then
    second_rss=$rss
    printf '%8s %12d   <- frame %d presented\n' "$now" "$rss" "$SECOND_FRAME"
  fi
  if awk -v t="$now" -v n="$next_sample" 'BEGIN { exit !(t >= n) }'; then
    samples=$((samples + 1))
    next_sample=$(awk -v n="$next_sample" -v i="$INTERVAL" 'BEGIN { print n + i }')
    printf '%8s %12d\n' "$now" "$rss"
    sample_t+=("$now")
    sample_rss+=("$rss")
  fi
  last_rss=$rss
  sleep 0.2
done
rm -rf "$MARK_DIR"
wait "$CHILD" || { echo "soak: ostrevin failed:"; cat "$LOG"; exit 1; }
CHILD=""
stats=$(grep 'ostrevin stats' "$LOG" || true)
echo "$stats"
frames_done=$(echo "$stats" | grep -o 'frames=[0-9]*' | cut -d= -f2)
live=$(echo "$stats" | grep -o 'live_objects=[-0-9]*' | cut -d= -f2)
if [ -z "$first_rss" ] || [ "$samples" -lt 2 ]; then
  echo "soak: too few samples ($samples) for a figure: raise --frames or lower --interval"
  exit 1
fi
growth=$((last_rss - first_rss))
per_loss="n/a"
if [ -n "$second_rss" ] && [ "$LOSSES" -gt 2 ]; then
  per_loss=$(awk -v a="$last_rss" -v b="$second_rss" -v n=$((LOSSES - 2)) 'BEGIN { printf "%.1f", (a - b) / n }')
fi
# The second half of the run on its own: a leak keeps growing there, while a
# heap that settles early to its high-water mark does not. Each end is the
# highest of 10 samples, since the resident set dips while the context is
# rebuilt after a loss.
half_start=""
half_end=""
n=${#sample_t[@]}
if [ "$n" -ge 20 ]; then
  end_t="${sample_t[$((n - 1))]}"
  for i in "${!sample_t[@]}"; do
    if awk -v t="${sample_t[$i]}" -v e="$end_t" 'BEGIN { exit !(t >= e / 2) }'; then
      half_start=$(printf '%s\n' "${sample_rss[@]:$i:10}" | sort -n | tail -n 1)
      break
    fi
  done
  half_end=$(printf '%s\n' "${sample_rss[@]:$((n - 10)):10}" | sort -n | tail -n 1)
fi
printf 'soak: rss after %d frames (t=%ss) %d KiB, at the end %d KiB, growth %d KiB (tolerance %d KiB), after the 2nd loss %s KiB, %s KiB per later loss, frames %s, live objects %s\n' \
  "$FIRST_FRAME" "$first_at" "$first_rss" "$last_rss" "$growth" "$TOLERANCE_KIB" "${second_rss:-n/a}" "$per_loss" \
  "$frames_done" "$live"
[ -n "$half_start" ] && printf 'soak: second half of the run (highest of 10 samples at each end): %d KiB -> %d KiB, growth %d KiB\n' \
  "$half_start" "$half_end" $((half_end - half_start))
if [ "$frames_done" != "$FRAMES" ]; then
  echo "soak: FAIL (ran $frames_done frames of $FRAMES)"
  exit 1
fi
if [ "${growth#-}" -le "$TOLERANCE_KIB" ] && [ "${live:-1}" = 0 ]; then
  echo "soak: PASS"
else
  echo "soak: FAIL"
  exit 1
fi
