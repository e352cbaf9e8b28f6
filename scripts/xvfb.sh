#!/usr/bin/env bash
# Starts Xvfb on a free display and prints its number; the caller exports
# DISPLAY=:N and kills the server (pid in $XVFB_PID_FILE) when done.
set -euo pipefail
for n in $(seq 91 140); do
  if [ ! -e "/tmp/.X${n}-lock" ] && [ ! -e "/tmp/.X11-unix/X${n}" ]; then
    Xvfb ":${n}" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    pid=$!
    # Up to 30 s for its socket: a busy machine starts it slowly.
    for _ in $(seq 1 300); do
      if [ -e "/tmp/.X11-unix/X${n}" ]; then
        echo "${pid}" > "${XVFB_PID_FILE:-/tmp/ostrevin-xvfb.pid}"
        echo "${n}"
        exit 0
      fi
      sleep 0.1
    done
    kill "${pid}" 2>/dev/null || true
  fi
done
echo "xvfb.sh: no free display" >&2
exit 1
