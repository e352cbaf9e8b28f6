#!/usr/bin/env bash
# The web page in headless Chromium against the native program: builds the
# page (scripts/web.sh; the wasm libraries come from the user's cache, built
# there on a machine's first run), then tests/web/page-test.mjs runs it
# through puppeteer-core and tests/web/compare-frames.py compares its frame
# with the native one. The native side is the checkout's build/ when it is
# configured (test.sh has built it), else build-web/host.
# Skips (exit 0, one line) only where Chromium gives no WebGL2 context.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=${OSTREVIN_WEB_BUILD:-$ROOT/build-web}
FRAME=100
# The native build scripts/web.sh takes its data from (the same rule).
HOST=${OSTREVIN_WEB_HOST_BUILD:-}
if [ -z "$HOST" ]; then
  if [ -f "$ROOT/build/CMakeCache.txt" ]; then HOST=$ROOT/build; else HOST=$OUT/host; fi
fi

"$ROOT/scripts/web.sh" build

NODE_DIR=$OUT/node
if [ ! -d "$NODE_DIR/node_modules/puppeteer-core" ]; then
  mkdir -p "$NODE_DIR"
  npm install --silent --no-audit --no-fund --prefix "$NODE_DIR" puppeteer-core@24.10.0
fi

# WEB_TEST_KEEP=DIR keeps the frames and messages there.
work=${WEB_TEST_KEEP:-$(mktemp -d)}
mkdir -p "$work"
cleanup() {
  [ -n "${own_xvfb:-}" ] && kill "$(cat "$work/xvfb.pid")" 2>/dev/null || true
  [ -n "${WEB_TEST_KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

# The native reference under Xvfb (test.sh's display, or one of our own).
if [ -z "${DISPLAY:-}" ]; then
  own_xvfb=1
  DISPLAY=":$(XVFB_PID_FILE="$work/xvfb.pid" "$ROOT/scripts/xvfb.sh")"
  export DISPLAY
fi
export OSTREVIN_MESSAGEBOX=0
cp -r "$HOST/demo" "$work/native"
rm -f "$work/native/a.out"
(cd "$work/native" && OSTREVIN_EXIT_AFTER=$FRAME OSTREVIN_CAPTURE="$work" OSTREVIN_CAPTURE_FRAMES=$FRAME ./ostrevin)
rm "$work/native/Data/top.GAMEMODEL"
(cd "$work/native" && ./ostrevin 2>"$work/native-missing-stderr.txt") && { echo "native run without its model succeeded"; exit 1; }

status=0
node "$ROOT/tests/web/page-test.mjs" "$OUT/wasm/page" "$work" "$(command -v chromium)" "$NODE_DIR" ||
  status=$?
if [ "$status" -eq 77 ]; then exit 0; fi

printf -v name 'frame-%05d.png' "$FRAME"
echo "frame $FRAME, page against native:"
/usr/bin/python3 "$ROOT/tests/web/compare-frames.py" same "$work/$name" "$work/web-$name" || status=1
echo "held arrow keys against none:"
/usr/bin/python3 "$ROOT/tests/web/compare-frames.py" differ "$work/still-frame.png" "$work/keys-frame.png" || status=1
if diff -u "$work/native-missing-stderr.txt" "$work/missing-stderr.txt"; then
  echo "ok: a missing model gives the desktop's message"
else
  echo "FAILED: the page's message differs from the desktop's"
  status=1
fi
exit "$status"
