#!/usr/bin/env bash
# Runs libFuzzer targets (preset fuzz, build-fuzz/: clang, AddressSanitizer,
# UndefinedBehaviorSanitizer) and prints, per target, minutes, executions,
# executions per second and corpus size.
#   scripts/fuzz.sh [-j JOBS] [SECONDS] [TARGET...]
#     SECONDS per target (default 60); every target unless some are named;
#     JOBS targets at a time (default 1; 2 keeps both cores busy).
# Targets: fuzz_hlsl (HLSL source), fuzz_hlsl_include (D3DXCompileShader
# with macros and include files), fuzz_shadercode (code handed to
# Create*Shader and D3DXGetShaderConstantTable), fuzz_shadercache (cache
# entries read from disk), fuzz_dds (DDS and image files), fuzz_gamemodel.
#
# Seeds: the demo's shaders, models and texture, the shader corpus with
# its compiled code and cache entries (made by fuzz_seeds into
# build-fuzz/fuzz-seeds/), and the regression inputs in
# tests/fuzz/corpus/<target>/. Working corpora live in
# build-fuzz/fuzz-corpus/<target>/ and are kept between runs. A crash,
# timeout, out-of-memory or leak input found is copied into
# tests/fuzz/corpus/<target>/ as a regression input.
#
# Environment: OSTREVIN_FUZZ_CORPUS=DIR puts the working corpora (and the
# logs) elsewhere; OSTREVIN_FUZZ_KEEP_CRASHES=0 leaves tests/fuzz/corpus/
# alone (the input stays in the working folder);
# OSTREVIN_FUZZ_RUNS=N (with OSTREVIN_FUZZ_SEED=S, default 1) runs each
# target for N executions from random seed S instead of for a time, starting
# from the seeds alone: the same tree then gives the same run;
# OSTREVIN_FUZZ_RUNS="fuzz_dds=N1 fuzz_hlsl=N2 ..." gives each its own N.
# Exit status: non-zero if any target failed.
set -uo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
all_targets=(fuzz_hlsl fuzz_hlsl_include fuzz_shadercode fuzz_shadercache fuzz_dds fuzz_gamemodel)

jobs=1
if [ "${1:-}" = "-j" ]; then
  jobs="${2:-1}"
  shift 2 || shift
fi
case "${jobs}" in '' | *[!0-9]* | 0) echo "fuzz: -j wants a number" >&2; exit 2 ;; esac
time_each=60
case "${1:-}" in '' | *[!0-9]*) ;; *) time_each="$1"; shift ;; esac
targets=("$@")
[ "${#targets[@]}" -gt 0 ] || targets=("${all_targets[@]}")
work="${OSTREVIN_FUZZ_CORPUS:-${root}/build-fuzz/fuzz-corpus}"
keep="${OSTREVIN_FUZZ_KEEP_CRASHES:-1}"
runs="${OSTREVIN_FUZZ_RUNS:-}"
random_seed="${OSTREVIN_FUZZ_SEED:-1}"
bin="${root}/build-fuzz/tests/fuzz"
seeds="${root}/build-fuzz/fuzz-seeds"
mkdir -p "${work}"

echo "fuzz: building ${targets[*]} (preset fuzz)"
log="$(mktemp)"
trap 'rm -f "${log}"' EXIT
{ [ -f build-fuzz/CMakeCache.txt ] || cmake --preset fuzz > "${log}" 2>&1; } &&
  cmake --build --preset fuzz --target "${targets[@]}" fuzz_seeds ostrevin_data -j2 >> "${log}" 2>&1 || {
  tail -n 40 "${log}"
  echo "fuzz: build failed" >&2
  exit 1
}

# The shader seeds, made again when the tool or the corpus changed.
if [ ! -f "${seeds}/.made" ] || [ -n "$(find "${bin}/fuzz_seeds" tests/hlsl/corpus assets -newer "${seeds}/.made" -print -quit)" ]; then
  rm -rf "${seeds}"
  mkdir -p "${seeds}"
  "${bin}/fuzz_seeds" "${root}" "${seeds}" > "${log}" 2>&1 || {
    tail -n 20 "${log}"
    echo "fuzz: fuzz_seeds failed" >&2
    exit 1
  }
  touch "${seeds}/.made"
fi
data="${root}/build-fuzz/demo/Data"

# seed_list TARGET: every seed file of the target in name order, separated
# by commas (libFuzzer's -seed_inputs=@FILE).
seed_list() {
  local target="$1"
  {
    case "${target}" in
      fuzz_hlsl | fuzz_hlsl_include | fuzz_shadercode | fuzz_shadercache) find "${seeds}/${target}" -maxdepth 1 -type f ;;
      fuzz_dds) echo "${data}/panel-01-diff.dds" ;;
      fuzz_gamemodel) for m in top middle bottom; do echo "${data}/${m}.GAMEMODEL"; done ;;
    esac
    [ -d "tests/fuzz/corpus/${target}" ] && find "${root}/tests/fuzz/corpus/${target}" -maxdepth 1 -type f
  } | LC_ALL=C sort | paste -sd, -
}

# fuzz_hlsl's seeds: the first byte picks the profile (even: vs_2_0, odd:
# ps_2_0), the rest is the source; the entry point is always "main".
mkdir -p "${seeds}/fuzz_hlsl"
{ printf '\x00'; cat assets/vs-phong.hlsl; } > "${seeds}/fuzz_hlsl/seed-vs-phong"
{ printf '\x01'; cat assets/ps-phong.hlsl; } > "${seeds}/fuzz_hlsl/seed-ps-phong-as-is"
{ printf '\x01'; sed 's/pixel_shader_main/main/' assets/ps-phong.hlsl; } > "${seeds}/fuzz_hlsl/seed-ps-phong"

# target_options TARGET: flags of that target alone. Image files may
# honestly expand a thousandfold (a JPEG or PNG of flat colour) up to the
# loader's ceiling of 8192x4096 pixels, which takes seconds under the
# sanitizers: the DDS/image search keeps to inputs of 32 KiB, whose largest
# honest picture decodes well inside the per-input timeout. Larger regression
# inputs are still replayed whole by scripts/test-fuzz.sh.
target_options() {
  case "$1" in
    fuzz_dds) echo "-max_len=32768" ;;
  esac
}

# run_target TARGET: one libFuzzer run; its summary line goes to
# WORK/TARGET.result, the log to WORK/TARGET.log.
run_target() {
  local target="$1"
  local corpus="${work}/${target}" artifacts="${work}/${target}-artifacts" out="${work}/${target}.log"
  local list="${work}/${target}.seeds"
  local limits=() n="${runs}"
  case "${runs}" in *=*) n="$(tr ' ' '\n' <<< "${runs}" | sed -n "s/^${target}=//p")" ;; esac
  if [ -n "${runs}" ]; then
    case "${n}" in '' | *[!0-9]*) echo "fuzz: no execution count for ${target}" > "${work}/${target}.result"; return 2 ;; esac
    # A fresh corpus: only the seeds decide the run, the folder is not read
    # again meanwhile (-reload=0). An input running a minute is a hang
    # whatever the load.
    rm -rf "${corpus}" "${artifacts}"
    limits=(-runs="${n}" -seed="${random_seed}" -timeout=60 -reload=0)
  else
    limits=(-max_total_time="${time_each}" -timeout=10)
  fi
  mkdir -p "${corpus}" "${artifacts}"
  seed_list "${target}" > "${list}"
  local start=$(date +%s)
  # -rss_limit_mb: an input that makes the reader allocate what its size
  # does not justify is a failure.
  local extra=()
  read -r -a extra <<< "$(target_options "${target}")"
  timeout -k 10 $((time_each + 600)) "${fixed_addresses[@]}" "${bin}/${target}" "${limits[@]}" "${extra[@]}" -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="${artifacts}/" -seed_inputs=@"${list}" "${corpus}" > "${out}" 2>&1
  local rc=$?
  local seconds=$(( $(date +%s) - start ))
  local execs rate size
  execs="$(grep -o 'stat::number_of_executed_units: *[0-9]*' "${out}" | tail -n 1 | grep -o '[0-9]*$')"
  rate="$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "${out}" | tail -n 1 | grep -o '[0-9]*$')"
  size="$(grep -oE '(DONE|INITED) .* corp: [0-9]+' "${out}" | tail -n 1 | grep -oE '[0-9]+$')"
  local result=ok
  [ "${rc}" -eq 0 ] || result="FAILED (exit ${rc})"
  printf '%-18s %7s %10s %8s %7s  %s\n' "${target}" "$(awk "BEGIN { printf \"%.1f\", ${seconds} / 60 }")" \
    "${execs:--}" "${rate:--}" "${size:--}" "${result}" > "${work}/${target}.result"
  if [ "${rc}" -ne 0 ]; then
    grep -E "ERROR: |SUMMARY: |runtime error|==[0-9]+==|#[0-9]+ 0x" "${out}" | head -n 30 | sed 's/^/    | /' \
      >> "${work}/${target}.result"
    for found in "${artifacts}"/crash-* "${artifacts}"/timeout-* "${artifacts}"/oom-* "${artifacts}"/leak-*; do
      [ -f "${found}" ] || continue
      if [ "${keep}" = 1 ]; then
        mkdir -p "${root}/tests/fuzz/corpus/${target}"
        cp "${found}" "${root}/tests/fuzz/corpus/${target}/"
        echo "    regression input: tests/fuzz/corpus/${target}/$(basename "${found}")" >> "${work}/${target}.result"
      else
        echo "    input: ${found} ($(stat -c %s "${found}") bytes)" >> "${work}/${target}.result"
      fi
    done
  fi
  return "${rc}"
}

# Counted runs keep the addresses of every run the same: pointers the
# instrumented code compares feed the mutations, and with addresses
# randomised two runs of the same inputs would go different ways.
fixed_addresses=()
if [ -n "${runs}" ]; then
  if setarch "$(uname -m)" -R true 2> /dev/null; then
    fixed_addresses=(setarch "$(uname -m)" -R)
  else
    echo "fuzz: cannot turn address randomisation off here; runs may differ" >&2
  fi
fi

if [ -n "${runs}" ]; then
  echo "fuzz: ${runs} executions from seed ${random_seed}, ${jobs} target(s) at a time"
else
  echo "fuzz: ${time_each} s per target, ${jobs} at a time"
fi
printf '%-18s %7s %10s %8s %7s  %s\n' target minutes execs exec/s corpus result
failed=0
running=0
for target in "${targets[@]}"; do
  if [ ! -x "${bin}/${target}" ]; then
    echo "fuzz: no target ${target}" >&2
    failed=$((failed + 1))
    continue
  fi
  if [ "${running}" -ge "${jobs}" ]; then
    wait -n || failed=$((failed + 1))
    running=$((running - 1))
  fi
  rm -f "${work}/${target}.result"
  run_target "${target}" &
  running=$((running + 1))
done
while [ "${running}" -gt 0 ]; do
  wait -n || failed=$((failed + 1))
  running=$((running - 1))
done
for target in "${targets[@]}"; do
  [ -f "${work}/${target}.result" ] && cat "${work}/${target}.result"
done
[ "${failed}" -eq 0 ]
