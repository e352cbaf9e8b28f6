#!/usr/bin/env bash
# Runs every libFuzzer target (preset fuzz, build-fuzz/) for TIME seconds
# each and prints executions per second and corpus size per target.
#   scripts/fuzz.sh [TIME] [TARGET...]     (TIME default 60; all targets)
# Working corpora live in build-fuzz/fuzz-corpus/<target>/ (kept between
# runs), seeded with the demo's generated models and texture, the shipped
# shaders and the regression inputs in tests/fuzz/corpus/<target>/. A crash,
# timeout or out-of-memory input found is copied into
# tests/fuzz/corpus/<target>/ as a regression input.
# Environment: OSTREVIN_FUZZ_CORPUS=DIR puts the working corpora elsewhere;
# OSTREVIN_FUZZ_KEEP_CRASHES=0 leaves tests/fuzz/corpus/ alone (the crash
# stays in the working folder). Exit status: non-zero if any target failed.
set -uo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
time_each="${1:-60}"
[ "$#" -gt 0 ] && shift
targets=("$@")
[ "${#targets[@]}" -gt 0 ] || targets=(fuzz_hlsl fuzz_dds fuzz_gamemodel)
work="${OSTREVIN_FUZZ_CORPUS:-${root}/build-fuzz/fuzz-corpus}"
keep="${OSTREVIN_FUZZ_KEEP_CRASHES:-1}"
bin="${root}/build-fuzz/tests/fuzz"

echo "fuzz: building ${targets[*]} (preset fuzz)"
log="$(mktemp)"
trap 'rm -f "${log}"' EXIT
{ [ -f build-fuzz/CMakeCache.txt ] || cmake --preset fuzz > "${log}" 2>&1; } &&
  cmake --build --preset fuzz --target "${targets[@]}" -j2 >> "${log}" 2>&1 || {
  tail -n 40 "${log}"
  echo "fuzz: build failed" >&2
  exit 1
}

# The demo's generated data: build/demo (default preset) or the fuzz build's own copy.
data="${root}/build/demo/Data"
[ -f "${data}/top.GAMEMODEL" ] || data="${root}/build-fuzz/demo/Data"

# seed TARGET DIR: copies the target's seeds into DIR.
seed() {
  local target="$1" dir="$2"
  case "${target}" in
    fuzz_hlsl)
      # The first byte picks the profile (even: vs_2_0, odd: ps_2_0), the
      # rest is the source; the entry point is always "main".
      { printf '\x00'; cat "${root}/assets/vs-phong.hlsl"; } > "${dir}/seed-vs-phong"
      { printf '\x01'; cat "${root}/assets/ps-phong.hlsl"; } > "${dir}/seed-ps-phong-as-is"
      { printf '\x01'; sed 's/pixel_shader_main/main/' "${root}/assets/ps-phong.hlsl"; } > "${dir}/seed-ps-phong"
      ;;
    fuzz_dds) cp "${data}/panel-01-diff.dds" "${dir}/seed-panel-01-diff.dds" ;;
    fuzz_gamemodel)
      for m in top middle bottom; do cp "${data}/${m}.GAMEMODEL" "${dir}/seed-${m}.GAMEMODEL"; done
      ;;
  esac
  if [ -d "${root}/tests/fuzz/corpus/${target}" ]; then
    find "${root}/tests/fuzz/corpus/${target}" -maxdepth 1 -type f -exec cp {} "${dir}/" \;
  fi
}

failed=0
printf '%-16s %8s %10s %8s %8s  %s\n' target seconds execs exec/s corpus result
for target in "${targets[@]}"; do
  corpus="${work}/${target}"
  artifacts="${work}/${target}-artifacts"
  mkdir -p "${corpus}" "${artifacts}"
  seed "${target}" "${corpus}"
  out="${work}/${target}.log"
  start=$(date +%s)
  # -timeout: one input running 10 s is a hang; -rss_limit_mb: an input that
  # makes the reader allocate what its size does not justify is a failure.
  timeout -k 10 $((time_each + 120)) "${bin}/${target}" -max_total_time="${time_each}" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="${artifacts}/" "${corpus}" > "${out}" 2>&1
  rc=$?
  seconds=$(( $(date +%s) - start ))
  execs="$(grep -o 'stat::number_of_executed_units: *[0-9]*' "${out}" | grep -o '[0-9]*$')"
  rate="$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "${out}" | grep -o '[0-9]*$')"
  size="$(find "${corpus}" -maxdepth 1 -type f | wc -l)"
  result=ok
  if [ "${rc}" -ne 0 ]; then
    result="FAILED (exit ${rc})"
    failed=$((failed + 1))
  fi
  printf '%-16s %8s %10s %8s %8s  %s\n' "${target}" "${seconds}" "${execs:--}" "${rate:--}" "${size}" "${result}"
  if [ "${rc}" -ne 0 ]; then
    grep -E "ERROR: |SUMMARY: |runtime error|==[0-9]+==|#[0-9]+ 0x" "${out}" | head -n 30 | sed 's/^/    | /'
    for found in "${artifacts}"/crash-* "${artifacts}"/timeout-* "${artifacts}"/oom-* "${artifacts}"/leak-*; do
      [ -f "${found}" ] || continue
      if [ "${keep}" = 1 ]; then
        mkdir -p "${root}/tests/fuzz/corpus/${target}"
        cp "${found}" "${root}/tests/fuzz/corpus/${target}/"
        echo "    regression input: tests/fuzz/corpus/${target}/$(basename "${found}")"
      else
        echo "    input: ${found} ($(stat -c %s "${found}") bytes)"
      fi
    done
  fi
done
[ "${failed}" -eq 0 ]
