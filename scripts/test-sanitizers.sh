#!/usr/bin/env bash
# AddressSanitizer + UndefinedBehaviorSanitizer (preset asan, build-asan/):
#  1. the unit tests, each in its own process (CTest), leaks checked;
#  2. the demo for 2000 frames without vsync, once clean and once with a lost
#     device every 100 frames (Present of frames 100..1900 fails); frames
#     150, 1050 and 1950 must be identical in both runs (the textures came
#     back after every loss), both runs exit 0 with live_objects=0, no
#     "still alive" and nothing from a sanitizer on standard error.
# Needs DISPLAY. Run from anywhere; builds only the unit tests (unit_tests,
# scene_allocation_tests), the shader corpus test and ostrevin.
set -uo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
[ -n "${DISPLAY:-}" ] || { echo "test-sanitizers: DISPLAY is not set" >&2; exit 1; }
frames="${OSTREVIN_SANITIZER_FRAMES:-2000}"

scratch="$(mktemp -d /tmp/ostrevin-sanitizers.XXXXXX)"
trap 'rm -rf "${scratch}"' EXIT
# An empty shader cache: the first run compiles its shaders and stores them,
# the second takes them from the cache.
export XDG_CACHE_HOME="${scratch}/cache"

echo "test-sanitizers: building the asan preset (unit tests, the shader corpus, ostrevin)"
start=$(date +%s)
{ cmake --preset asan > "${scratch}/configure.log" 2>&1 &&
  cmake --build --preset asan --target unit_tests scene_allocation_tests texture_dump hlsl_corpus_tests ostrevin -j2 > "${scratch}/build.log" 2>&1; } || {
  tail -n 40 "${scratch}/configure.log" "${scratch}/build.log" 2>/dev/null
  echo "test-sanitizers: asan build failed" >&2
  exit 1
}
echo "test-sanitizers: built in $(( $(date +%s) - start )) s"

# LeakSanitizer suppressions, each for one library's own allocation that it
# keeps until exit; never a frame of ours.
cat > "${scratch}/lsan.supp" <<'EOF'
# SDL's D-Bus helper (screensaver inhibition, IME probe): libdbus keeps its
# per-process message buffers and connection data for the process lifetime.
leak:libdbus-1.so
EOF

export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:abort_on_error=0:detect_stack_use_after_return=0:strict_init_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=${scratch}/lsan.supp:print_suppressions=0"
# The GL driver (Mesa llvmpipe) is dlopen()ed by SDL and unloaded at exit,
# before LeakSanitizer scans: its global pointers then vanish and what they
# held looks leaked, with stacks in "<unknown module>". Preloading the driver
# keeps it mapped until the scan. The ASan runtime must come first.
asan_runtime="$(gcc -print-file-name=libasan.so)"
asan_runtime="$(readlink -f "${asan_runtime}")"
driver_preload="${asan_runtime}"
for lib in /usr/lib/x86_64-linux-gnu/libGLX_mesa.so.0 /usr/lib/x86_64-linux-gnu/dri/swrast_dri.so; do
  [ -e "${lib}" ] && driver_preload="${driver_preload}:${lib}"
done

# Sanitizer reports in a log: the run must have none.
sanitizer_report() {
  grep -E "ERROR: (Address|Leak)Sanitizer|runtime error:|SUMMARY: (Address|Undefined|Leak)" "$1"
}

failures=0
fail() {
  echo "test-sanitizers: FAIL: $*"
  failures=$((failures + 1))
}

echo "test-sanitizers: unit tests under ASan/UBSan/LSan"
start=$(date +%s)
if ! ctest --test-dir build-asan -j2 --timeout 300 -E "_NOT_BUILT|hlsl_corpus" --output-on-failure > "${scratch}/ctest.log" 2>&1; then
  grep -E "tests passed|Failed|\*\*\*" "${scratch}/ctest.log" | head -n 30
  sanitizer_report "${scratch}/ctest.log" | head -n 20
  fail "unit tests"
else
  echo "test-sanitizers: $(grep -E 'tests passed' "${scratch}/ctest.log") in $(( $(date +%s) - start )) s"
fi

# The shader corpus draws with GL, so it runs with the driver preloaded.
echo "test-sanitizers: the shader corpus under ASan/UBSan/LSan"
if ! (cd build-asan/tests/hlsl && LD_PRELOAD="${driver_preload}" timeout -k 10 300 ./hlsl_corpus_tests \
        > "${scratch}/corpus.log" 2>&1) || [ -n "$(sanitizer_report "${scratch}/corpus.log")" ]; then
  grep -E "Failure|FAILED|corpus:" "${scratch}/corpus.log" | head -n 20
  sanitizer_report "${scratch}/corpus.log" | head -n 20
  fail "shader corpus"
else
  echo "test-sanitizers: $(grep -E '^corpus:' "${scratch}/corpus.log")"
fi

# run_demo NAME [VAR=VALUE...]: runs the asan demo from a copy of build-asan/demo.
run_demo() {
  local name="$1"
  shift
  local dir="${scratch}/${name}"
  mkdir -p "${dir}/capture"
  cp -r "${root}/build-asan/demo/." "${dir}/run"
  local t0
  t0=$(date +%s)
  (cd "${dir}/run" && env OSTREVIN_EXIT_AFTER="${frames}" OSTREVIN_VSYNC=0 OSTREVIN_STATS=1 OSTREVIN_MESSAGEBOX=0 \
      OSTREVIN_CAPTURE="${dir}/capture" OSTREVIN_CAPTURE_FRAMES="${capture_frames}" "$@" \
      LD_PRELOAD="${driver_preload}" timeout -k 10 400 ./ostrevin > "${dir}/stdout" 2> "${dir}/stderr")
  local rc=$?
  echo "test-sanitizers: ${name}: exit ${rc} in $(( $(date +%s) - t0 )) s; $(grep -o 'frames=.*' "${dir}/stderr" | head -n 1)"
  local ok=1
  [ "${rc}" -eq 0 ] || { fail "${name}: exit ${rc}"; ok=0; }
  grep -q "live_objects=0" "${dir}/stderr" || { fail "${name}: no live_objects=0"; ok=0; }
  if grep -q "still alive" "${dir}/stderr"; then fail "${name}: objects still alive at exit"; ok=0; fi
  if sanitizer_report "${dir}/stderr" > /dev/null; then fail "${name}: sanitizer report"; ok=0; fi
  [ "${ok}" -eq 1 ] || sed 's/^/    | /' "${dir}/stderr" | head -n 60
}

capture_frames="150,$((frames / 2 + 50)),$((frames - 50))"
lost="$(seq -s, 100 100 $((frames - 100)))"
run_demo clean
run_demo lost OSTREVIN_PRESENT_FAIL="${lost}"
resets=$((frames / 100 - 1))
for f in ${capture_frames//,/ }; do
  png="frame-$(printf %05d "${f}").png"
  if [ ! -f "${scratch}/clean/capture/${png}" ] || [ ! -f "${scratch}/lost/capture/${png}" ]; then
    fail "frame ${f} not captured in both runs"
  elif ! cmp -s "${scratch}/clean/capture/${png}" "${scratch}/lost/capture/${png}"; then
    fail "frame ${f} differs after ${resets} device losses"
  else
    echo "test-sanitizers: frame ${f} identical with and without device losses"
  fi
done

# The frames compared must show the model in different places, or the
# comparison proves nothing.
first_png="frame-00150.png"
last_png="frame-$(printf %05d $((frames - 50))).png"
if cmp -s "${scratch}/clean/capture/${first_png}" "${scratch}/clean/capture/${last_png}" 2> /dev/null; then
  fail "frames 150 and $((frames - 50)) are the same image: the scene does not move"
fi

echo "test-sanitizers: ${failures} failure(s)"
[ "${failures}" -eq 0 ]
