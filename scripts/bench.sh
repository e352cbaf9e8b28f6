#!/usr/bin/env bash
# Frame benchmark: ostrevin (our Direct3D 9 layer over OpenGL) against
# ostrevin_reference (the same frame as a plain SDL2 + OpenGL program), both
# measured in this one invocation under one Xvfb. Not part of ./test.sh.
#
#   scripts/bench.sh [--runs N] [--frames N] [--alloc-frames N] [--no-tunables] [--no-device-calls]
#                    [--no-texture] [--texture-runs N] [--startup-only]
#
# Every figure is the median of N runs (default 5):
#   fps, cpu ms/frame   OSTREVIN_VSYNC=0, OSTREVIN_STATS=1 over --frames frames (default 2000)
#   startup             spawn -> return of the first SDL_GL_SwapWindow, and the
#                       shim's milestones (context, shader sources, texture,
#                       models, first swap entered); the reference also prints
#                       its own breakdown from main's entry. ostrevin twice:
#                       warm (its compiled-shader cache filled by an earlier
#                       run) and cold (the cache empty); every other figure
#                       of ostrevin is taken with the warm cache
#   peak RSS            /usr/bin/time's "Maximum resident set size"
#   allocs/frame        LD_PRELOAD counter: (count(2N) - count(N)) / N, N = --alloc-frames
#                       (default 500), each count from the first swap's return
#                       to the last swap's (whole process, and main thread)
#                       and of those, the ones the executable itself (the program and
#                       our layer, linked in statically) asked for, told apart by the stack
# both without and with
#   GLIBC_TUNABLES=glibc.malloc.mmap_threshold=33554432:glibc.malloc.trim_threshold=268435456
# then bench_device_calls (the device calls of one frame against direct GL)
# and bench_texture_load (D3DXCreateTextureFromFileW against a plain floor,
# --texture-runs runs of each load, default 3).
# --startup-only measures start-up alone (no frames, allocations, device calls
# or textures): a quicker loop for work on the start.
# Build folder: $BENCH_BUILD_DIR (default: build-bench/ inside the source tree, ignored by git).
# BENCH_KEEP=DIR keeps every run's standard error there (one file per run).
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${BENCH_BUILD_DIR:-$ROOT/build-bench}"
RUNS=5
FRAMES=2000
ALLOC_FRAMES=500
TUNABLES=1
DEVICE_CALLS=1
TEXTURE=1
TEXTURE_RUNS=3
STARTUP_ONLY=0
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) RUNS="$2"; shift 2 ;;
    --frames) FRAMES="$2"; shift 2 ;;
    --alloc-frames) ALLOC_FRAMES="$2"; shift 2 ;;
    --no-tunables) TUNABLES=0; shift ;;
    --no-device-calls) DEVICE_CALLS=0; shift ;;
    --no-texture) TEXTURE=0; shift ;;
    --texture-runs) TEXTURE_RUNS="$2"; shift 2 ;;
    --startup-only) STARTUP_ONLY=1; DEVICE_CALLS=0; TEXTURE=0; shift ;;
    *) echo "usage: $0 [--runs N] [--frames N] [--alloc-frames N] [--no-tunables] [--no-device-calls] [--no-texture] [--texture-runs N] [--startup-only]" >&2; exit 2 ;;
  esac
done
TUNED="glibc.malloc.mmap_threshold=33554432:glibc.malloc.trim_threshold=268435456"

# Build (release-ish) if needed; make decides what is out of date.
if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$BUILD" --target ostrevin ostrevin_reference ostrevin_bench_shim bench_device_calls bench_texture_load -j2 >/dev/null

DEMO="$BUILD/demo"
OSTREVIN="$DEMO/ostrevin"
REFERENCE="$BUILD/bench/ostrevin_reference"
SHIM="$BUILD/bench/libostrevin_bench_shim.so"
for f in "$OSTREVIN" "$REFERENCE" "$SHIM"; do
  [ -e "$f" ] || { echo "bench.sh: $f was not built" >&2; exit 1; }
done

export XVFB_PID_FILE
XVFB_PID_FILE="$(mktemp /tmp/ostrevin-bench-xvfb.XXXXXX)"
DISPLAY_NUMBER="$("$ROOT/scripts/xvfb.sh")"
export DISPLAY=":$DISPLAY_NUMBER"
WORK="$(mktemp -d /tmp/ostrevin-bench.XXXXXX)"
cleanup() {
  if [ -s "$XVFB_PID_FILE" ]; then kill "$(cat "$XVFB_PID_FILE")" 2>/dev/null || true; fi
  rm -f "$XVFB_PID_FILE"
  if [ -n "${BENCH_KEEP:-}" ]; then mkdir -p "$BENCH_KEEP" && cp -r "$WORK"/. "$BENCH_KEEP"/; fi
  rm -rf "$WORK"
}
trap cleanup EXIT
export OSTREVIN_MESSAGEBOX=0
unset OSTREVIN_CAPTURE OSTREVIN_CAPTURE_FRAMES OSTREVIN_PRESENT_FAIL OSTREVIN_KEYS OSTREVIN_SHADER_CACHE LD_PRELOAD \
  GLIBC_TUNABLES || true
# ostrevin's compiled shaders: a warm cache that a first run fills, and an
# empty one for every cold start.
WARM_CACHE="$WORK/cache-warm"
export XDG_CACHE_HOME="$WARM_CACHE"

# field NAME FILE: the value of NAME=... in FILE's last line that has it.
field() { grep -o "$1=[-0-9.]*" "$2" | tail -n 1 | cut -d= -f2; }
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print "nan"; else if (NR % 2) print v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
spread() { sort -g | awk 'NR == 1 { lo = $1 } { hi = $1 } END { if (NR == 0) print "-"; else print lo "-" hi }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b + 0 == 0) print "n/a"; else printf "%.2f", a / b }'; }

# run PROGRAM TUNABLES(0|1) LOG [VAR=VALUE ...]: runs one program from the demo
# folder; under /usr/bin/time -v when TIMED=1.
run() {
  local program="$1" tuned="$2" log="$3"
  shift 3
  local exe=("$OSTREVIN")
  [ "$program" = reference ] && exe=("$REFERENCE")
  [ "${TIMED:-0}" = 1 ] && exe=(/usr/bin/time -v "${exe[@]}")
  local tunables=()
  [ "$tuned" = 1 ] && tunables=(GLIBC_TUNABLES="$TUNED")
  (cd "$DEMO" && env "${tunables[@]}" "$@" BENCH_SPAWN_NS="$(date +%s%N)" "${exe[@]}") 2>"$log" >/dev/null || {
    echo "bench.sh: $program failed:" >&2
    cat "$log" >&2
    exit 1
  }
}

# The values of every run, one per line: VALS[program,tunables,figure].
declare -A VALS
add() { VALS[$1]+="$2"$'\n'; }
# add_startup KEY SUFFIX LOG: one start-up's figures from the shim's line,
# under START, WIN, CTX, ... with SUFFIX appended (COLD for the cold start).
STARTUP_FIGURES=(START WIN CTX SRC TEX MDL SWP SCPU CCPU)
add_startup() {
  local key="$1" suffix="$2" log="$3"
  add "$key,START$suffix" "$(field spawn_to_first_swap_ms "$log")"
  add "$key,WIN$suffix" "$(field window_ms "$log")"
  add "$key,CTX$suffix" "$(field context_ms "$log")"
  add "$key,SRC$suffix" "$(field source_ms "$log")"
  add "$key,TEX$suffix" "$(field texture_ms "$log")"
  add "$key,MDL$suffix" "$(field model_ms "$log")"
  add "$key,SWP$suffix" "$(field swap_enter_ms "$log")"
  add "$key,SCPU$suffix" "$(field cpu_to_first_swap_ms "$log")"
  add "$key,CCPU$suffix" "$(field children_cpu_ms "$log")"
}
per_frame() { awk -v a="$(field "$1" "$2")" -v b="$(field "$1" "$3")" -v n="$ALLOC_FRAMES" 'BEGIN { printf "%.3f", (a - b) / n }'; }

# measure_run PROGRAM TUNABLES(0|1) I: one run of every figure.
measure_run() {
  local program="$1" tuned="$2" i="$3"
  local key="$program,$tuned" log="$WORK/$program-$tuned-$i"
  # Frame cost and peak RSS, no shim.
  if [ "$STARTUP_ONLY" = 0 ]; then
    TIMED=1 run "$program" "$tuned" "$log.frames" OSTREVIN_VSYNC=0 OSTREVIN_STATS=1 OSTREVIN_EXIT_AFTER="$FRAMES"
    add "$key,FPS" "$(field fps "$log.frames")"
    add "$key,CPU" "$(field cpu_ms_per_frame "$log.frames")"
    add "$key,RSS" "$(grep 'Maximum resident set size' "$log.frames" | awk '{ printf "%.1f", $NF / 1024 }')"
  fi
  # Start-up: to the first swap, with the shim's milestones; ostrevin's
  # also with an empty shader cache.
  if [ "$program" = ostrevin ]; then
    local cold="$WORK/cache-cold" mesa
    rm -rf "$cold"
    mkdir -p "$cold"
    # Mesa keeps its own shader cache under XDG_CACHE_HOME too: that one
    # stays warm, as it is for the reference.
    for mesa in "$WARM_CACHE"/mesa*; do [ -e "$mesa" ] && ln -s "$mesa" "$cold/"; done
    run "$program" "$tuned" "$log.cold" OSTREVIN_VSYNC=0 OSTREVIN_EXIT_AFTER=2 LD_PRELOAD="$SHIM" XDG_CACHE_HOME="$cold"
    rm -rf "$cold"
    add_startup "$key" COLD "$log.cold"
  fi
  run "$program" "$tuned" "$log.start" OSTREVIN_VSYNC=0 OSTREVIN_EXIT_AFTER=2 LD_PRELOAD="$SHIM"
  add_startup "$key" "" "$log.start"
  [ "$program" = reference ] && add "$key,OWNLINES" "$(grep 'reference startup' "$log.start")"
  [ "$STARTUP_ONLY" = 1 ] && return
  # Allocations per frame after the first: N and 2N frames, each counted
  # from swap 1 to its last swap, so that neither start-up nor exit enters.
  run "$program" "$tuned" "$log.n" OSTREVIN_VSYNC=0 OSTREVIN_EXIT_AFTER="$ALLOC_FRAMES" LD_PRELOAD="$SHIM" \
    BENCH_COUNT_FROM=1
  run "$program" "$tuned" "$log.2n" OSTREVIN_VSYNC=0 OSTREVIN_EXIT_AFTER="$((2 * ALLOC_FRAMES))" \
    LD_PRELOAD="$SHIM" BENCH_COUNT_FROM=1
  add "$key,ALLOCS" "$(per_frame steady_allocs "$log.2n" "$log.n")"
  add "$key,SALLOCS" "$(per_frame steady_swap_allocs "$log.2n" "$log.n")"
  add "$key,MALLOCS" "$(per_frame steady_main_allocs "$log.2n" "$log.n")"
  add "$key,EALLOCS" "$(per_frame steady_exe_allocs "$log.2n" "$log.n")"
}

# Fills the warm cache.
run ostrevin 0 "$WORK/fill" OSTREVIN_VSYNC=0 OSTREVIN_EXIT_AFTER=2

declare -A FIG
settings=(0)
[ "$TUNABLES" = 1 ] && settings+=(1)
for tuned in "${settings[@]}"; do
  # The two programs take turns, run by run, so that a machine that gets
  # faster or slower during the measurement shifts both alike.
  for i in $(seq 1 "$RUNS"); do
    echo "bench.sh: run $i of $RUNS (tunables $tuned): ostrevin, reference..." >&2
    for program in ostrevin reference; do measure_run "$program" "$tuned" "$i"; done
  done
  for program in ostrevin reference; do
    key="$program,$tuned"
    # The reference has no shader cache: its one start-up is both.
    if [ "$program" = reference ]; then
      for k in "${STARTUP_FIGURES[@]}"; do VALS[$key,${k}COLD]=${VALS[$key,$k]}; done
    fi
    for k in FPS CPU RSS ALLOCS MALLOCS SALLOCS EALLOCS "${STARTUP_FIGURES[@]}"; do
      FIG[$key,$k]=$(printf '%s' "${VALS[$key,$k]:-}" | median)
      if [ -n "${VALS[$key,${k}COLD]+x}" ]; then FIG[$key,${k}COLD]=$(printf '%s' "${VALS[$key,${k}COLD]}" | median); fi
    done
    FIG[$key,COLD]=${FIG[$key,STARTCOLD]}
    FIG[$key,OUTSIDE]=$(awk -v a="${FIG[$key,ALLOCS]}" -v b="${FIG[$key,SALLOCS]}" 'BEGIN { printf "%.3f", a - b }')
    FIG[$key,OWN]=""
    if [ "$program" = reference ]; then
      for part in total_ms window_context_ms shaders_ms texture_ms meshes_ms first_frame_ms; do
        FIG[$key,OWN]+=" $part=$(printf '%s' "${VALS[$key,OWNLINES]}" | grep -o "$part=[0-9.]*" | cut -d= -f2 | median)"
      done
    fi
  done
done

echo
if [ "$STARTUP_ONLY" = 1 ]; then
  echo "start-up benchmark: $RUNS runs each (median)"
else
  echo "frame benchmark: $RUNS runs each (median), $FRAMES frames for fps/cpu, allocs from $ALLOC_FRAMES/$((2 * ALLOC_FRAMES)) frames"
fi
for tuned in "${settings[@]}"; do
  if [ "$tuned" = 1 ]; then echo "-- with GLIBC_TUNABLES=$TUNED"; else echo "-- default malloc settings"; fi
  printf '%-38s %12s %12s %8s   %s\n' figure ostrevin reference ratio "spread over the runs: ostrevin / reference"
  row() { printf '%-38s %12s %12s %8s   %s / %s\n' "$1" "${FIG[ostrevin,$tuned,$2]}" "${FIG[reference,$tuned,$2]}" \
            "$(ratio "${FIG[ostrevin,$tuned,$2]}" "${FIG[reference,$tuned,$2]}")x" \
            "$(printf '%s' "${VALS[ostrevin,$tuned,$2]}" | spread)" "$(printf '%s' "${VALS[reference,$tuned,$2]}" | spread)"; }
  if [ "$STARTUP_ONLY" = 0 ]; then
    row "fps (vsync off)" FPS
    row "cpu ms/frame (process, all threads)" CPU
  fi
  for cold in "" COLD; do
    if [ -z "$cold" ]; then row "startup ms, warm (spawn -> 1st swap)" START
    else row "startup ms, cold shader cache" STARTCOLD; fi
    row "  window created (ms from ctor)" "WIN$cold"
    row "  context created" "CTX$cold"
    row "  shader source opened" "SRC$cold"
    row "  texture opened" "TEX$cold"
    row "  first model opened" "MDL$cold"
    row "  first swap entered" "SWP$cold"
    row "  CPU ms to 1st swap (all threads)" "SCPU$cold"
    row "  CPU ms of child processes" "CCPU$cold"
  done
  if [ "$STARTUP_ONLY" = 1 ]; then
    echo "reference's own start-up breakdown (median ms):${FIG[reference,$tuned,OWN]}"
    continue
  fi
  row "peak RSS MiB" RSS
  printf '%-38s %12s %12s\n' "allocs/frame (process)" "${FIG[ostrevin,$tuned,ALLOCS]}" "${FIG[reference,$tuned,ALLOCS]}"
  printf '%-38s %12s %12s\n' "allocs/frame (main thread)" "${FIG[ostrevin,$tuned,MALLOCS]}" "${FIG[reference,$tuned,MALLOCS]}"
  printf '%-38s %12s %12s\n' "  of which inside SDL_GL_SwapWindow" "${FIG[ostrevin,$tuned,SALLOCS]}" "${FIG[reference,$tuned,SALLOCS]}"
  printf '%-38s %12s %12s\n' "allocs/frame outside the swap" "${FIG[ostrevin,$tuned,OUTSIDE]}" "${FIG[reference,$tuned,OUTSIDE]}"
  printf '%-38s %12s %12s\n' "allocs/frame asked by the executable" "${FIG[ostrevin,$tuned,EALLOCS]}" "${FIG[reference,$tuned,EALLOCS]}"
  echo "reference's own start-up breakdown (median ms):${FIG[reference,$tuned,OWN]}"
done

if [ "$DEVICE_CALLS" = 1 ]; then
  echo
  LD_PRELOAD="$SHIM" "$BUILD/bench/bench_device_calls" 2>/dev/null
  # Again with the stack looked at on every allocation (slow: timings not used).
  BENCH_COUNT_EXE=1 LD_PRELOAD="$SHIM" "$BUILD/bench/bench_device_calls" 2>/dev/null | grep "asked for by the layer"
fi

TEXTURE_LINE="texture load: not measured (--no-texture)"
if [ "$TEXTURE" = 1 ]; then
  echo
  "$BUILD/bench/bench_texture_load" --runs "$TEXTURE_RUNS" 2>/dev/null | tee "$WORK/texture" || true
  TEXTURE_LINE="$(grep '^texture load:' "$WORK/texture" || echo "texture load: failed")"
fi

echo
printf 'ratios: cpu %sx (goal <=1.05) fps %sx (goal >=0.95) startup warm %sx (goal <=1.05) cold %sx (goal <=1.15) rss %sx (goal <=1.15) allocs/frame by program and layer %s (goal 0; %s\n' \
  "$(ratio "${FIG[ostrevin,0,CPU]}" "${FIG[reference,0,CPU]}")" \
  "$(ratio "${FIG[ostrevin,0,FPS]}" "${FIG[reference,0,FPS]}")" \
  "$(ratio "${FIG[ostrevin,0,START]}" "${FIG[reference,0,START]}")" \
  "$(ratio "${FIG[ostrevin,0,COLD]}" "${FIG[reference,0,COLD]}")" \
  "$(ratio "${FIG[ostrevin,0,RSS]}" "${FIG[reference,0,RSS]}")" \
  "${FIG[ostrevin,0,EALLOCS]}" "${FIG[ostrevin,0,ALLOCS]} in the process, reference ${FIG[reference,0,ALLOCS]}, all from the driver and window system)"
echo "$TEXTURE_LINE (goal: time <= 1.3x floor, memory <= 2x file + texture bytes)"
