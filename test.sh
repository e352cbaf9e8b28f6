#!/usr/bin/env bash
# Installs what is missing, builds from scratch and runs every test: the
# unit and Xvfb tests (CTest), the sanitizer run, the bounded fuzz runs and
# the Windows cross build. Ends with one summary line.
set -uo pipefail
cd "$(dirname "$0")"
root="$(pwd)"
./scripts/install-deps.sh || exit 1

passed=0
failed=0
failures=()
step() {  # step NAME COMMAND...: runs one check and counts it
  local name="$1"
  shift
  echo "== ${name}"
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    failures+=("${name}")
    echo "== ${name}: FAILED"
  fi
}

export XVFB_PID_FILE="$(mktemp)"
display="$(./scripts/xvfb.sh)" || exit 1
# Compiled shaders go to a cache of this run's own, not the user's; the web
# step's wasm libraries stay in the user's cache (scripts/web.sh).
export OSTREVIN_USER_CACHE="${XDG_CACHE_HOME:-${HOME}/.cache}"
export XDG_CACHE_HOME="$(mktemp -d)"
trap 'kill "$(cat "${XVFB_PID_FILE}")" 2>/dev/null || true; rm -f "${XVFB_PID_FILE}"; rm -rf "${XDG_CACHE_HOME}"' EXIT
export DISPLAY=":${display}"
export OSTREVIN_MESSAGEBOX=0
export GLIBC_TUNABLES="glibc.malloc.mmap_threshold=33554432:glibc.malloc.trim_threshold=268435456"

rm -rf build
cmake --preset default || exit 1
cmake --build --preset default -j"$(nproc)" || exit 1

ctest_log="$(mktemp)"
ctest --preset default -j2 --timeout 300 2>&1 | tee "${ctest_log}"
summary="$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "${ctest_log}" | tail -n 1)"
if [ -n "${summary}" ]; then
  total="$(echo "${summary}" | sed -E 's/.*out of ([0-9]+).*/\1/')"
  bad="$(echo "${summary}" | sed -E 's/.* ([0-9]+) tests failed.*/\1/')"
  passed=$((passed + total - bad))
  failed=$((failed + bad))
  [ "${bad}" -eq 0 ] || failures+=("ctest")
else
  failed=$((failed + 1))
  failures+=("ctest (no summary)")
fi

# Before the scripted tests: the package test checks the cross build's ZIP.
step "windows-cross-build" ./scripts/cross-build.sh

for extra in scripts/test-*.sh; do
  [ -x "${extra}" ] || continue
  step "$(basename "${extra}" .sh)" "${extra}"
done

if [ "${failed}" -ne 0 ]; then
  echo "failed: ${failures[*]}"
fi
echo "summary: ${passed} passed, ${failed} failed"
[ "${failed}" -eq 0 ]
