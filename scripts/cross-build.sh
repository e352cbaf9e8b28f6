#!/usr/bin/env bash
# Compiles and links the program for 32-bit Windows with mingw-w64 against
# the real SDK headers and import libraries (not run). OSTREVIN_WIN64=ON in
# the environment builds 64-bit Windows instead. CPack then makes the ZIP
# users unpack: ostrevin.exe, its shaders, Data/ and README.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
assetgen="$(pwd)/build/tools/assetgen"
[ -x "${assetgen}" ] || { echo "cross-build: build the Linux tree first (needs ${assetgen})" >&2; exit 1; }
dir="build-win32"
extra=()
if [ "${OSTREVIN_WIN64:-OFF}" = "ON" ]; then
  dir="build-win64"
  extra=(-DOSTREVIN_WIN64=ON)
fi
rm -rf "${dir}"
cmake -S . -B "${dir}" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
  -DOSTREVIN_WERROR=ON -DOSTREVIN_ASSETGEN="${assetgen}" "${extra[@]}" >/dev/null
cmake --build "${dir}" -j"$(nproc)"
(cd "${dir}" && cpack -G ZIP >/dev/null)
file "${dir}/ostrevin.exe" 2>/dev/null || ls -l "${dir}/ostrevin.exe"
ls "${dir}"/ostrevin-*.zip
