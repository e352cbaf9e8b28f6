#!/usr/bin/env bash
# Runs the demo end to end with each of its input files spoiled in each of
# four ways: missing, empty, cut to half its size, or replaced by random
# bytes of the same size (fixed seed). Each case runs in its own scratch copy
# of build/demo/ for 30 frames, two cases at a time.
#   a bad shader or model: exit 1, the file named on standard error
#   a bad texture: exit 0 after the close, live_objects=0, the last frame
#     drawn untextured (not black, and unlike the textured frame)
#   never a crash (exit >= 128), a hang (60 s) or "still alive"
# Needs build/ (default preset) and DISPLAY. Prints one table row per case.
set -uo pipefail
cd "$(dirname "$0")/.."
demo="$(pwd)/build/demo"
[ -x "${demo}/ostrevin" ] || { echo "test-bad-inputs: ${demo}/ostrevin not built" >&2; exit 1; }
[ -n "${DISPLAY:-}" ] || { echo "test-bad-inputs: DISPLAY is not set" >&2; exit 1; }

scratch="$(mktemp -d /tmp/ostrevin-bad-inputs.XXXXXX)"
trap 'rm -rf "${scratch}"' EXIT

inputs=(vs-phong.hlsl ps-phong.hlsl Data/panel-01-diff.dds Data/top.GAMEMODEL Data/middle.GAMEMODEL
        Data/bottom.GAMEMODEL)
modes=(missing empty half random)
frames=30

# A copy of the demo folder: the inputs are copied, the executable linked.
make_dir() {
  local dir="$1"
  mkdir -p "${dir}/Data" "${dir}/capture"
  ln -s "${demo}/ostrevin" "${dir}/ostrevin"
  cp "${demo}"/*.hlsl "${dir}/"
  cp "${demo}"/Data/* "${dir}/Data/"
}

# spoil FILE MODE SEED
spoil() {
  local file="$1" mode="$2" seed="$3"
  case "${mode}" in
    missing) rm -f "${file}" ;;
    empty) : > "${file}" ;;
    half) truncate -s "$(( $(stat -c %s "${file}") / 2 ))" "${file}" ;;
    random) python3 - "${file}" "${seed}" <<'EOF'
import os, random, sys
path, seed = sys.argv[1], int(sys.argv[2])
size = os.path.getsize(path)
with open(path, "wb") as f:
    f.write(random.Random(seed).randbytes(size))
EOF
      ;;
  esac
}

# Whether a captured PNG (8-bit RGB) has any non-zero pixel. An all-black
# image filters to all-zero bytes under every PNG filter, and only then.
png_not_black() {
  python3 - "$1" <<'EOF'
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
pos, idat, width = 8, b"", 0
while pos < len(data):
    length, kind = struct.unpack(">I4s", data[pos:pos + 8])
    if kind == b"IHDR":
        width = struct.unpack(">I", data[pos + 8:pos + 12])[0]
    if kind == b"IDAT":
        idat += data[pos + 8:pos + 8 + length]
    pos += 12 + length
raw = zlib.decompress(idat)
stride = width * 3 + 1
sys.exit(0 if any(raw[i] for i in range(len(raw)) if i % stride != 0) else 1)
EOF
}

# run_case DIR: runs the demo there; leaves rc, stdout, stderr beside it.
run_case() {
  local dir="$1"
  (cd "${dir}" && OSTREVIN_EXIT_AFTER="${frames}" OSTREVIN_STATS=1 OSTREVIN_MESSAGEBOX=0 OSTREVIN_VSYNC=0 \
     OSTREVIN_CAPTURE="${dir}/capture" OSTREVIN_CAPTURE_FRAMES="${frames}" \
     timeout -k 5 60 ./ostrevin > "${dir}/stdout" 2> "${dir}/stderr")
  echo "$?" > "${dir}/rc"
}

# The textured reference frame.
make_dir "${scratch}/reference"
run_case "${scratch}/reference"
reference_png="${scratch}/reference/capture/frame-$(printf %05d "${frames}").png"
if [ "$(cat "${scratch}/reference/rc")" != 0 ] || [ ! -f "${reference_png}" ]; then
  echo "test-bad-inputs: the unspoiled demo did not run (exit $(cat "${scratch}/reference/rc"))" >&2
  cat "${scratch}/reference/stderr" >&2
  exit 1
fi

cases=()
seed=1
for input in "${inputs[@]}"; do
  for mode in "${modes[@]}"; do
    dir="${scratch}/case-${#cases[@]}"
    make_dir "${dir}"
    spoil "${dir}/${input}" "${mode}" "${seed}"
    echo "${input}" > "${dir}/input"
    echo "${mode}" > "${dir}/mode"
    cases+=("${dir}")
    seed=$((seed + 1))
  done
done

start=$(date +%s)
running=0
for dir in "${cases[@]}"; do
  if [ "${running}" -ge 2 ]; then
    wait -n
    running=$((running - 1))
  fi
  run_case "${dir}" &
  running=$((running + 1))
done
wait

# check DIR: prints the verdict; returns non-zero on a failure.
check() {
  local dir="$1" input mode rc err png why=""
  input="$(cat "${dir}/input")"
  mode="$(cat "${dir}/mode")"
  rc="$(cat "${dir}/rc")"
  err="${dir}/stderr"
  png="${dir}/capture/frame-$(printf %05d "${frames}").png"
  if [ "${rc}" -eq 124 ] || [ "${rc}" -eq 137 ]; then
    why="hang (timeout)"
  elif [ "${rc}" -ge 128 ]; then
    why="crash (signal $((rc - 128)))"
  elif grep -q "still alive" "${err}"; then
    why="objects still alive at exit"
  elif [ "${input}" = Data/panel-01-diff.dds ]; then
    if [ "${rc}" -ne 0 ]; then
      why="exit ${rc}, expected 0"
    elif ! grep -q "live_objects=0" "${err}"; then
      why="no live_objects=0"
    elif [ ! -f "${png}" ]; then
      why="frame ${frames} not captured"
    elif ! png_not_black "${png}"; then
      why="frame ${frames} is black"
    elif cmp -s "${png}" "${reference_png}"; then
      why="frame ${frames} is the textured frame"
    fi
  else
    if [ "${rc}" -ne 1 ]; then
      why="exit ${rc}, expected 1"
    elif ! grep -qF "Ostrevin: ${input}:" "${err}"; then
      why="${input} not named on stderr"
    elif ! grep -q "myApp.Create failed!" "${err}"; then
      why="no start-up failure message"
    fi
  fi
  local first
  first="$(grep -m1 -E '^Ostrevin: ' "${err}" | cut -c1-70)"
  if [ -z "${why}" ]; then
    printf '%-24s %-8s %4s  ok    %s\n' "${input}" "${mode}" "${rc}" "${first}"
    return 0
  fi
  printf '%-24s %-8s %4s  FAIL  %s\n' "${input}" "${mode}" "${rc}" "${why}"
  sed 's/^/    | /' "${err}" | tail -n 20
  return 1
}

printf '%-24s %-8s %4s  %-5s %s\n' input spoiled exit check "first message"
failures=0
for dir in "${cases[@]}"; do
  check "${dir}" || failures=$((failures + 1))
done
echo "test-bad-inputs: ${#cases[@]} cases in $(( $(date +%s) - start )) s, ${failures} failed"
[ "${failures}" -eq 0 ]
