#!/usr/bin/env bash
# Installs what is missing, builds, and runs the demo from build/demo/.
# Without a display it runs the demo under Xvfb for a fixed number of frames
# and writes the captured last frame to build/capture/.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)"

# llvmpipe's per-draw buffers otherwise make glibc map and unmap memory
# thousands of times a frame.
export GLIBC_TUNABLES="${GLIBC_TUNABLES:-glibc.malloc.mmap_threshold=33554432:glibc.malloc.trim_threshold=268435456}"

cd build/demo
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec ./ostrevin
fi

frames="${OSTREVIN_FRAMES:-300}"
capture="$(cd .. && pwd)/capture"
mkdir -p "${capture}"
export XVFB_PID_FILE="$(mktemp)"
display="$(../../scripts/xvfb.sh)"
trap 'kill "$(cat "${XVFB_PID_FILE}")" 2>/dev/null || true; rm -f "${XVFB_PID_FILE}"' EXIT
echo "run.sh: no display; running ${frames} frames under Xvfb :${display}"
status=0
DISPLAY=":${display}" OSTREVIN_MESSAGEBOX=0 OSTREVIN_EXIT_AFTER="${frames}" OSTREVIN_CAPTURE="${capture}" \
  ./ostrevin || status=$?
if [ "${status}" -eq 0 ]; then
  echo "run.sh: captured frame ${frames}: ${capture}/$(printf 'frame-%05d.png' "${frames}")"
else
  echo "run.sh: ostrevin exited with ${status}" >&2
fi
exit "${status}"
