#!/usr/bin/env bash
# Runs the demo end to end with each file it reads spoiled in each of six
# ways (the shaders, the texture, the models, and the layer's compiled
# shaders in the cache), one row of the table below per case: the input, the damage, the
# exit code and the exact messages on standard error (lines joined by " / ";
# the statistics line of OSTREVIN_STATS left out). Each case runs in its own
# scratch copy of build/demo/ for 30 frames, two cases at a time, and also
# checks that
#   - it neither crashes, hangs (60 s) nor leaves objects alive;
#   - nothing in the folder is written or lost: every other input keeps its
#     bytes, the spoiled one keeps its spoiled bytes, and the only new file
#     is the empty "a.out";
#   - with exit 0, the last frame is the frame of the unspoiled files, or,
#     when the texture did not load, drawn untextured: not black, and
#     unlike the textured frame.
# Damages: missing; empty; truncated (cut to half its size); oversized (a
# shader or model with 16 MiB more after it, a texture claiming and holding
# 8192x8192 DXT1 without its levels); wrong-format (the other stage's
# shader, a shader in place of the texture, the texture in place of a
# model); hostile-header (a shader that includes itself, a DDS
# FourCC that no format has, a model declaring 2^32-1 sub-meshes). The
# cache's entries (each case has a copy of the one the unspoiled run
# filled) are removed, emptied, halved, grown past 64 MiB, swapped between
# the two shaders, or given a length field of 2^64-1: the shaders are then
# compiled again, silently.
# Needs build/ (default preset) and DISPLAY. Prints one line per case.
set -uo pipefail
cd "$(dirname "$0")/.."
demo="$(pwd)/build/demo"
[ -x "${demo}/ostrevin" ] || { echo "test-bad-inputs: ${demo}/ostrevin not built" >&2; exit 1; }
[ -n "${DISPLAY:-}" ] || { echo "test-bad-inputs: DISPLAY is not set" >&2; exit 1; }

# input | damage | exit | messages
table="$(cat <<'EOF'
vs-phong.hlsl          | missing        | 1 | Ostrevin: vs-phong.hlsl: missing or empty file / Error: myApp.Create failed!
vs-phong.hlsl          | empty          | 1 | Ostrevin: vs-phong.hlsl: missing or empty file / Error: myApp.Create failed!
vs-phong.hlsl          | truncated      | 1 | Ostrevin: vs-phong.hlsl: memory(27): error: 'member type' : Expected / memory(27): error: 'struct member declarations' : Expected / memory(27): error: 'declaration' : Expected / memory(27): error at column 4, HLSL parsing failed. / error: 4 compilation errors.  No code generated. / Error: myApp.Create failed!
vs-phong.hlsl          | oversized      | 0 |
vs-phong.hlsl          | wrong-format   | 1 | Ostrevin: vs-phong.hlsl: error X3501: 'main': entrypoint not found / Error: myApp.Create failed!
vs-phong.hlsl          | hostile-header | 1 | Ostrevin: vs-phong.hlsl: memory(1): error: '#include' : Could not process include directive for header name: vs-phong.hlsl / error: 1 compilation errors.  No code generated. / Error: myApp.Create failed!
ps-phong.hlsl          | missing        | 1 | Ostrevin: ps-phong.hlsl: missing or empty file / Error: myApp.Create failed!
ps-phong.hlsl          | empty          | 1 | Ostrevin: ps-phong.hlsl: missing or empty file / Error: myApp.Create failed!
ps-phong.hlsl          | truncated      | 1 | Ostrevin: ps-phong.hlsl: memory(36): error: 'declaration' : Expected / memory(36): error at column 2, HLSL parsing failed. / error: 2 compilation errors.  No code generated. / Error: myApp.Create failed!
ps-phong.hlsl          | oversized      | 0 |
ps-phong.hlsl          | wrong-format   | 1 | Ostrevin: ps-phong.hlsl: error X3501: 'pixel_shader_main': entrypoint not found / Error: myApp.Create failed!
ps-phong.hlsl          | hostile-header | 1 | Ostrevin: ps-phong.hlsl: memory(1): error: '#include' : Could not process include directive for header name: ps-phong.hlsl / error: 1 compilation errors.  No code generated. / Error: myApp.Create failed!
Data/panel-01-diff.dds | missing        | 0 | Ostrevin: Data/panel-01-diff.dds: missing or empty file; drawing untextured
Data/panel-01-diff.dds | empty          | 0 | Ostrevin: Data/panel-01-diff.dds: missing or empty file; drawing untextured
Data/panel-01-diff.dds | truncated      | 0 | Ostrevin: Data/panel-01-diff.dds: truncated at level 0 (FourCC 'DXT1'); drawing untextured
Data/panel-01-diff.dds | oversized      | 0 | D3DX: texture refused: 8192x8192 is more than the 16777216 pixels the loader decodes / Ostrevin: Data/panel-01-diff.dds: too large to load (8192x8192, 0x8007000e); drawing untextured
Data/panel-01-diff.dds | wrong-format   | 0 | D3DX: texture refused: not an image file the loader reads / Ostrevin: Data/panel-01-diff.dds: not an image file D3DX reads, or a damaged one; drawing untextured
Data/panel-01-diff.dds | hostile-header | 0 | Ostrevin: Data/panel-01-diff.dds: unsupported pixel format: FourCC 3486427068; drawing untextured
Data/top.GAMEMODEL     | missing        | 1 | Ostrevin: Data/top.GAMEMODEL: missing or empty file / Error: myApp.Create failed!
Data/top.GAMEMODEL     | empty          | 1 | Ostrevin: Data/top.GAMEMODEL: missing or empty file / Error: myApp.Create failed!
Data/top.GAMEMODEL     | truncated      | 1 | Ostrevin: Data/top.GAMEMODEL: file ends inside sub-mesh 1's vertex array / Error: myApp.Create failed!
Data/top.GAMEMODEL     | oversized      | 0 |
Data/top.GAMEMODEL     | wrong-format   | 1 | Ostrevin: Data/top.GAMEMODEL: holds no sub-meshes (0x8876086c) / Error: myApp.Create failed!
Data/top.GAMEMODEL     | hostile-header | 1 | Ostrevin: Data/top.GAMEMODEL: declares 4294967295 sub-meshes but holds only 3 / Error: myApp.Create failed!
Data/middle.GAMEMODEL  | missing        | 1 | Ostrevin: Data/middle.GAMEMODEL: missing or empty file / Error: myApp.Create failed!
Data/middle.GAMEMODEL  | empty          | 1 | Ostrevin: Data/middle.GAMEMODEL: missing or empty file / Error: myApp.Create failed!
Data/middle.GAMEMODEL  | truncated      | 1 | Ostrevin: Data/middle.GAMEMODEL: file ends inside sub-mesh 1's vertex array / Error: myApp.Create failed!
Data/middle.GAMEMODEL  | oversized      | 0 |
Data/middle.GAMEMODEL  | wrong-format   | 1 | Ostrevin: Data/middle.GAMEMODEL: holds no sub-meshes (0x8876086c) / Error: myApp.Create failed!
Data/middle.GAMEMODEL  | hostile-header | 1 | Ostrevin: Data/middle.GAMEMODEL: declares 4294967295 sub-meshes but holds only 3 / Error: myApp.Create failed!
Data/bottom.GAMEMODEL  | missing        | 1 | Ostrevin: Data/bottom.GAMEMODEL: missing or empty file / Error: myApp.Create failed!
Data/bottom.GAMEMODEL  | empty          | 1 | Ostrevin: Data/bottom.GAMEMODEL: missing or empty file / Error: myApp.Create failed!
Data/bottom.GAMEMODEL  | truncated      | 1 | Ostrevin: Data/bottom.GAMEMODEL: file ends inside sub-mesh 1's vertex array / Error: myApp.Create failed!
Data/bottom.GAMEMODEL  | oversized      | 0 |
Data/bottom.GAMEMODEL  | wrong-format   | 1 | Ostrevin: Data/bottom.GAMEMODEL: holds no sub-meshes (0x8876086c) / Error: myApp.Create failed!
Data/bottom.GAMEMODEL  | hostile-header | 1 | Ostrevin: Data/bottom.GAMEMODEL: declares 4294967295 sub-meshes but holds only 3 / Error: myApp.Create failed!
shader-cache           | missing        | 0 |
shader-cache           | empty          | 0 |
shader-cache           | truncated      | 0 |
shader-cache           | oversized      | 0 |
shader-cache           | wrong-format   | 0 |
shader-cache           | hostile-header | 0 |
EOF
)"
frames=30

scratch="$(mktemp -d /tmp/ostrevin-bad-inputs.XXXXXX)"
trap 'rm -rf "${scratch}"' EXIT

# A copy of the demo folder: the inputs are copied, the executable linked.
make_dir() {
  local dir="$1"
  mkdir -p "${dir}/Data" "${dir}/capture"
  ln -s "${demo}/ostrevin" "${dir}/ostrevin"
  cp "${demo}"/*.hlsl "${dir}/"
  cp "${demo}"/Data/* "${dir}/Data/"
}

# spoil_cache DIR DAMAGE: the compiled-shader entries of the case's cache.
spoil_cache() {
  local dir="$1" damage="$2" entries
  entries=("${dir}.out/cache/ostrevin/"*/*)
  case "${damage}" in
    missing) rm -rf "${dir}.out/cache/ostrevin" ;;
    empty) for e in "${entries[@]}"; do : > "${e}"; done ;;
    truncated) for e in "${entries[@]}"; do truncate -s "$(( $(stat -c %s "${e}") / 2 ))" "${e}"; done ;;
    oversized) for e in "${entries[@]}"; do truncate -s $(( (64 << 20) + 1 )) "${e}"; done ;;
    wrong-format)
      mv "${entries[0]}" "${dir}.out/swap"
      mv "${entries[1]}" "${entries[0]}"
      mv "${dir}.out/swap" "${entries[1]}" ;;
    hostile-header)
      for e in "${entries[@]}"; do
        printf '\377\377\377\377\377\377\377\377' | dd of="${e}" bs=1 seek=8 conv=notrunc status=none
      done ;;
  esac
}

# spoil DIR INPUT DAMAGE
spoil() {
  local dir="$1" input="$2" damage="$3"
  local file="${dir}/${input}"
  if [ "${input}" = shader-cache ]; then
    spoil_cache "${dir}" "${damage}"
    return
  fi
  case "${damage}" in
    missing) rm -f "${file}" ;;
    empty) : > "${file}" ;;
    truncated) truncate -s "$(( $(stat -c %s "${file}") / 2 ))" "${file}" ;;
    *) python3 - "${file}" "${damage}" "${dir}" <<'PY'
import os, struct, sys
path, damage, folder = sys.argv[1:]
kind = "hlsl" if path.endswith(".hlsl") else "dds" if path.endswith(".dds") else "model"
data = open(path, "rb").read()
if damage == "oversized":
    if kind == "dds":
        # 8192x8192 DXT1, one level, every byte there: 32 MiB.
        header = bytearray(124)
        struct.pack_into("<IIIIIII", header, 0, 124, 0x1007, 8192, 8192, 0, 0, 1)
        struct.pack_into("<II4s", header, 72, 32, 0x4, b"DXT1")
        struct.pack_into("<I", header, 104, 0x1000)
        data = b"DDS " + bytes(header) + bytes(8192 * 8192 // 2)
    elif kind == "hlsl":
        data += (b"// " + b"x" * 1020 + b"\n") * (16 * 1024)
    else:
        data += bytes(16 << 20)
elif damage == "wrong-format":
    other = {"hlsl": "ps-phong.hlsl" if path.endswith("vs-phong.hlsl") else "vs-phong.hlsl",
             "dds": "vs-phong.hlsl", "model": "Data/panel-01-diff.dds"}[kind]
    data = open(os.path.join(folder, other), "rb").read()
elif damage == "hostile-header":
    if kind == "hlsl":
        data = b'#include "' + os.path.basename(path).encode() + b'"\n' + data
    elif kind == "dds":
        data = bytearray(data)
        struct.pack_into("<II", data, 80, 0x4, 3486427068)
    else:
        data = bytearray(data)
        struct.pack_into("<I", data, 64, 0xFFFFFFFF)
open(path, "wb").write(data)
PY
      ;;
  esac
}

# The folder's files with their checksums (what may be neither written nor lost).
listing() { (cd "$1" && find . -path ./capture -prune -o -type f -print0 | xargs -0 sha256sum | LC_ALL=C sort -k2); }

# run_case DIR: runs the demo there, with the cache in DIR.out/cache; its
# exit code and output go to DIR.out/.
run_case() {
  local dir="$1"
  (cd "${dir}" && XDG_CACHE_HOME="${dir}.out/cache" OSTREVIN_EXIT_AFTER="${frames}" OSTREVIN_STATS=1 OSTREVIN_MESSAGEBOX=0 OSTREVIN_VSYNC=0 \
     OSTREVIN_CAPTURE="${dir}/capture" OSTREVIN_CAPTURE_FRAMES="${frames}" \
     timeout -k 5 60 ./ostrevin > "${dir}.out/stdout" 2> "${dir}.out/stderr")
  echo "$?" > "${dir}.out/rc"
}

# Whether a captured PNG (8-bit RGB) has any non-zero pixel. An all-black
# image filters to all-zero bytes under every PNG filter, and only then.
png_not_black() {
  python3 - "$1" <<'PY'
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
PY
}

frame_png() { echo "$1/capture/frame-$(printf %05d "${frames}").png"; }

# The textured reference frame.
make_dir "${scratch}/reference"
mkdir -p "${scratch}/reference.out"
run_case "${scratch}/reference"
reference_png="$(frame_png "${scratch}/reference")"
if [ "$(cat "${scratch}/reference.out/rc")" != 0 ] || [ ! -f "${reference_png}" ]; then
  echo "test-bad-inputs: the unspoiled demo did not run (exit $(cat "${scratch}/reference.out/rc"))" >&2
  cat "${scratch}/reference.out/stderr" >&2
  exit 1
fi

cases=()
while IFS='|' read -r input damage code messages; do
  input="$(echo ${input})" damage="$(echo ${damage})" code="$(echo ${code})"
  messages="${messages# }"
  dir="${scratch}/case-${#cases[@]}"
  make_dir "${dir}"
  mkdir -p "${dir}.out"
  cp -r "${scratch}/reference.out/cache" "${dir}.out/cache"
  spoil "${dir}" "${input}" "${damage}"
  listing "${dir}" > "${dir}.out/before"
  printf '%s\n' "${input}" "${damage}" "${code}" "${messages}" > "${dir}.out/row"
  cases+=("${dir}")
done <<< "${table}"

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
  local dir="$1" input damage code expected rc seen png why=""
  { read -r input; read -r damage; read -r code; read -r expected; } < "${dir}.out/row"
  rc="$(cat "${dir}.out/rc")"
  seen="$(grep -v '^ostrevin stats: ' "${dir}.out/stderr" | sed 's/[[:space:]]*$//' | awk 'NR > 1 { printf " / " } { printf "%s", $0 }')"
  png="$(frame_png "${dir}")"
  (cd "${dir}" && [ -f a.out ] && [ ! -s a.out ] && sha256sum ./a.out) > "${dir}.out/a.out" 2>/dev/null
  if [ "${rc}" -eq 124 ] || [ "${rc}" -eq 137 ]; then
    why="hang (timeout)"
  elif [ "${rc}" -ge 128 ]; then
    why="crash (signal $((rc - 128)))"
  elif [ "${rc}" != "${code}" ]; then
    why="exit ${rc}, expected ${code}"
  elif grep -q "still alive" "${dir}.out/stderr" || { [ "${rc}" -eq 0 ] && ! grep -q "live_objects=0" "${dir}.out/stderr"; }; then
    why="objects still alive at exit"
  elif [ "${seen}" != "${expected}" ]; then
    why="messages differ; seen: ${seen}"
  elif ! listing "${dir}" | diff -q - <(LC_ALL=C sort -k2 "${dir}.out/before" "${dir}.out/a.out") > /dev/null; then
    why="files written or lost: $(listing "${dir}" | diff - <(LC_ALL=C sort -k2 "${dir}.out/before" "${dir}.out/a.out") | grep '^[<>]' | tr '\n' ' ')"
  elif [ "${rc}" -eq 0 ] && [ ! -f "${png}" ]; then
    why="frame ${frames} not captured"
  elif [ "${rc}" -eq 0 ] && [ "${input}" = Data/panel-01-diff.dds ]; then
    if ! png_not_black "${png}"; then
      why="frame ${frames} is black"
    elif cmp -s "${png}" "${reference_png}"; then
      why="frame ${frames} is the textured frame"
    fi
  elif [ "${rc}" -eq 0 ] && ! cmp -s "${png}" "${reference_png}"; then
    why="frame ${frames} is not the frame of the unspoiled files"
  fi
  if [ -z "${why}" ]; then
    printf '%-22s %-15s %s  ok\n' "${input}" "${damage}" "${rc}"
    return 0
  fi
  printf '%-22s %-15s %s  FAIL  %s\n' "${input}" "${damage}" "${rc}" "${why}"
  return 1
}

printf '%-22s %-15s %s  %s\n' input damage exit check
failures=0
for dir in "${cases[@]}"; do
  check "${dir}" || failures=$((failures + 1))
done
echo "test-bad-inputs: ${#cases[@]} cases in $(( $(date +%s) - start )) s, ${failures} failed"
[ "${failures}" -eq 0 ]
