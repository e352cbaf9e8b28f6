#!/usr/bin/env bash
# Bounded fuzzing (preset fuzz, build-fuzz/): every libFuzzer target for
# OSTREVIN_FUZZ_TIME seconds (default 30) from the seed inputs, in a
# temporary corpus, so nothing in the tree changes; then every regression
# input in tests/fuzz/corpus/<target>/ once. Fails on any crash, sanitizer
# report, hang (10 s per input) or allocation over 2 GB. A failing input is
# kept and its path printed.
set -uo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
time_each="${OSTREVIN_FUZZ_TIME:-${TIME:-30}}"
case "${time_each}" in '' | *[!0-9]*) time_each=30 ;; esac
targets=(fuzz_hlsl fuzz_dds fuzz_gamemodel)

scratch="$(mktemp -d /tmp/ostrevin-fuzz.XXXXXX)"
failures=0

echo "test-fuzz: ${time_each} s per target"
OSTREVIN_FUZZ_CORPUS="${scratch}" OSTREVIN_FUZZ_KEEP_CRASHES=0 scripts/fuzz.sh "${time_each}" "${targets[@]}" ||
  failures=$((failures + 1))

for target in "${targets[@]}"; do
  dir="${root}/tests/fuzz/corpus/${target}"
  [ -d "${dir}" ] || continue
  inputs=()
  while IFS= read -r -d '' f; do inputs+=("${f}"); done < <(find "${dir}" -maxdepth 1 -type f -print0 | sort -z)
  [ "${#inputs[@]}" -gt 0 ] || continue
  if timeout -k 10 300 "${root}/build-fuzz/tests/fuzz/${target}" -timeout=10 -rss_limit_mb=2048 \
       "${inputs[@]}" > "${scratch}/${target}-regression.log" 2>&1; then
    echo "test-fuzz: ${target}: ${#inputs[@]} regression input(s) pass"
  else
    echo "test-fuzz: FAIL: ${target}: a regression input fails"
    grep -E "Running: |ERROR: |SUMMARY: |runtime error" "${scratch}/${target}-regression.log" | tail -n 20 |
      sed 's/^/    | /'
    failures=$((failures + 1))
  fi
done

if [ "${failures}" -eq 0 ]; then
  rm -rf "${scratch}"
  echo "test-fuzz: ok"
else
  echo "test-fuzz: ${failures} failure(s); inputs and logs kept in ${scratch}"
fi
[ "${failures}" -eq 0 ]
