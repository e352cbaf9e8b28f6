#!/usr/bin/env bash
# Bounded, repeatable fuzzing (preset fuzz, build-fuzz/): every libFuzzer
# target for a fixed number of executions from a fixed random seed,
# starting from its seeds alone (scripts/fuzz.sh with OSTREVIN_FUZZ_RUNS),
# two at a time, then every regression input in tests/fuzz/corpus/<target>/
# once; all in a temporary folder, so that nothing in the tree changes and
# the same tree always gives the same verdict. Fails on any crash,
# sanitizer report, leak, hang (a minute for one input) or allocation over
# 2 GB; a failing input is kept and its path printed. Longer, open-ended
# runs: scripts/fuzz.sh.
set -uo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"

# Executions per target, seeds included: from a few seconds to twenty each
# here (the HLSL targets fork a parser per input).
runs="fuzz_hlsl=400 fuzz_hlsl_include=250 fuzz_shadercode=10000 fuzz_shadercache=4000 fuzz_dds=30000 fuzz_gamemodel=30000"
targets=(fuzz_hlsl fuzz_hlsl_include fuzz_shadercode fuzz_shadercache fuzz_dds fuzz_gamemodel)

scratch="$(mktemp -d /tmp/ostrevin-fuzz.XXXXXX)"
failures=0

# Builds the targets, makes the seeds and runs two targets at a time.
OSTREVIN_FUZZ_CORPUS="${scratch}" OSTREVIN_FUZZ_KEEP_CRASHES=0 OSTREVIN_FUZZ_RUNS="${runs}" OSTREVIN_FUZZ_SEED=20 \
  scripts/fuzz.sh -j 2 "${targets[@]}" > "${scratch}/fuzz.log" 2>&1
sed 's/^/test-fuzz: /' "${scratch}/fuzz.log"
for target in "${targets[@]}"; do
  result="${scratch}/${target}.result"
  [ -f "${result}" ] && head -n 1 "${result}" | grep -q ' ok$' && continue
  echo "test-fuzz: FAIL: ${target}"
  failures=$((failures + 1))
done

for target in "${targets[@]}"; do
  dir="${root}/tests/fuzz/corpus/${target}"
  bin="${root}/build-fuzz/tests/fuzz/${target}"
  [ -d "${dir}" ] && [ -x "${bin}" ] || continue
  inputs=()
  while IFS= read -r -d '' f; do inputs+=("${f}"); done < <(find "${dir}" -maxdepth 1 -type f -print0 | sort -z)
  [ "${#inputs[@]}" -gt 0 ] || continue
  if timeout -k 10 600 "${bin}" -timeout=60 -rss_limit_mb=2048 "${inputs[@]}" > "${scratch}/${target}-regression.log" 2>&1; then
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
