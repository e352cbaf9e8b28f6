#!/usr/bin/env bash
# Valgrind memcheck of the demo (build/, default preset) for 50 frames
# without vsync on llvmpipe, with the checked-in suppressions
# (tests/valgrind.supp: system-library noise only). Fails on any invalid
# read or write, use of an uninitialised value, bad free or bad syscall
# argument whose stack has a frame of ours (a file under this tree, or
# ostrevin::, a C-prefixed class, or a Win32/D3D9/D3DX entry point), and on
# a crash, a hang or live objects at exit. Reports of system libraries that
# the suppressions miss are printed but do not fail the run.
# Needs DISPLAY. Takes about a minute (about 0.6 s per frame under memcheck).
set -uo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
demo="${root}/build/demo"
frames="${OSTREVIN_MEMCHECK_FRAMES:-50}"
[ -x "${demo}/ostrevin" ] || { echo "test-memcheck: ${demo}/ostrevin not built" >&2; exit 1; }
[ -n "${DISPLAY:-}" ] || { echo "test-memcheck: DISPLAY is not set" >&2; exit 1; }
command -v valgrind > /dev/null || { echo "test-memcheck: valgrind not installed" >&2; exit 1; }

scratch="$(mktemp -d /tmp/ostrevin-memcheck.XXXXXX)"
trap 'rm -rf "${scratch}"' EXIT
# An empty shader cache: the one run compiles its shaders and stores them.
export XDG_CACHE_HOME="${scratch}/cache"
cp -r "${demo}/." "${scratch}/run"

echo "test-memcheck: valgrind memcheck, ${frames} frames"
start=$(date +%s)
(cd "${scratch}/run" && OSTREVIN_EXIT_AFTER="${frames}" OSTREVIN_VSYNC=0 OSTREVIN_STATS=1 OSTREVIN_MESSAGEBOX=0 \
   LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=llvmpipe \
   timeout -k 10 600 valgrind --tool=memcheck --error-exitcode=99 --leak-check=no --track-origins=no \
     --suppressions="${root}/tests/valgrind.supp" --fullpath-after= --num-callers=40 \
     --log-file="${scratch}/valgrind.%p.log" ./ostrevin > "${scratch}/stdout" 2> "${scratch}/stderr")
rc=$?
seconds=$(( $(date +%s) - start ))
echo "test-memcheck: exit ${rc} in ${seconds} s; $(grep -o 'frames=.*' "${scratch}/stderr" | head -n 1)"
# One log per process (the demo's own, and any fork's before it execs).
cat "${scratch}"/valgrind.*.log > "${scratch}/valgrind.log" 2> /dev/null
grep -E "ERROR SUMMARY" "${scratch}/valgrind.log" | sort | uniq -c | sed 's/^ *\([0-9]*\) ==[0-9]*== /test-memcheck: \1 process(es): /'

# Splits the log into error reports and sorts them into ours and not ours.
python3 - "${scratch}/valgrind.log" "${root}" > "${scratch}/verdict" <<'EOF'
import re, sys
log, root = sys.argv[1], sys.argv[2]
kinds = re.compile(r"(Invalid (read|write|free)|.*uninitialised|Conditional jump|Mismatched free|"
                   r"Syscall param|Source and destination overlap)")
ours = re.compile(r"\(" + re.escape(root) + r"/|\bostrevin::|\bC[A-Z]\w*::|\bwWinMain\b|\bDirect3DCreate9\b|"
                  r"\bD3DX\w+|\bIDirect3D\w*|\bID3DX\w*|_Z\w*D3DX|\b(CreateWindowExW|DispatchMessageW|PeekMessageW|"
                  r"DefWindowProcW|RegisterClassExW|MessageBoxW|GetAsyncKeyState)\b")
blocks, current = [], None
for line in open(log, errors="replace"):
    body = re.sub(r"^==\d+== ?", "", line.rstrip("\n"))
    if not body.strip():
        if current:
            blocks.append(current)
        current = None
        continue
    if current is None or (kinds.match(body) and current):
        if current:
            blocks.append(current)
        current = [body]
    else:
        current.append(body)
if current:
    blocks.append(current)
mine = other = 0
for block in blocks:
    if not kinds.match(block[0]):
        continue
    frames = [l for l in block if re.match(r"\s+(at|by) 0x", l)]
    if any(ours.search(f) for f in frames):
        mine += 1
        print("OURS: " + "\n      ".join(block[:25]))
    else:
        other += 1
        print("NOT OURS (add to tests/valgrind.supp if it is noise): " + "\n      ".join(block[:12]))
print(f"errors with a frame of ours: {mine}; others: {other}")
sys.exit(1 if mine else 0)
EOF
verdict=$?
cat "${scratch}/verdict" | sed 's/^/test-memcheck: /'

failures=0
if [ "${rc}" -ne 0 ] && [ "${rc}" -ne 99 ]; then
  echo "test-memcheck: FAIL: exit ${rc} (crash, hang or start-up failure)"
  sed 's/^/    | /' "${scratch}/stderr" | tail -n 20
  tail -n 30 "${scratch}/valgrind.log" | sed 's/^/    | /'
  failures=$((failures + 1))
fi
[ "${verdict}" -eq 0 ] || { echo "test-memcheck: FAIL: memory errors in our code"; failures=$((failures + 1)); }
grep -q "live_objects=0" "${scratch}/stderr" || { echo "test-memcheck: FAIL: no live_objects=0"; failures=$((failures + 1)); }
if grep -q "still alive" "${scratch}/stderr"; then
  echo "test-memcheck: FAIL: objects still alive at exit"
  failures=$((failures + 1))
fi
echo "test-memcheck: ${failures} failure(s)"
[ "${failures}" -eq 0 ]
