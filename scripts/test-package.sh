#!/usr/bin/env bash
# cmake --install lays the program out as desktop software under one prefix,
# with a launcher on the PATH that works from any directory; CPack makes the
# Debian package of the same files and, from the Windows cross build, the
# ZIP. Checks the layout, the desktop entry, icons and metainfo against the
# validators, the package's files, stripping and dependencies, and the ZIP's
# contents. Needs DISPLAY (runs the installed launcher for a few frames).
set -euo pipefail
cd "$(dirname "$0")/.."
id=org.ostrevin.Ostrevin
sizes=(16 22 24 32 48 64 128 256)
tmp="$(mktemp -d)"
trap 'rm -rf "${tmp}"' EXIT
fail() { echo "package: $*"; exit 1; }
run_launcher() {  # run_launcher PATH: a few frames, started from another directory
  (cd / && OSTREVIN_EXIT_AFTER=3 OSTREVIN_MESSAGEBOX=0 "$1") || fail "launcher $1 failed"
}

# cmake --install: the layout, the launcher, the desktop files.
prefix="${tmp}/prefix"
cmake --install build --prefix "${prefix}" >/dev/null
(cd "${prefix}" && find . -type f | sed 's|^\./||' | sort) >"${tmp}/install.list"
for f in bin/ostrevin lib/ostrevin/ostrevin share/ostrevin/vs-phong.hlsl share/ostrevin/ps-phong.hlsl \
         share/ostrevin/Data/top.GAMEMODEL share/ostrevin/Data/middle.GAMEMODEL \
         share/ostrevin/Data/bottom.GAMEMODEL share/ostrevin/Data/panel-01-diff.dds \
         "share/applications/${id}.desktop" "share/metainfo/${id}.metainfo.xml"; do
  [ -e "${prefix}/${f}" ] || fail "install lacks ${f}"
done
run_launcher "${prefix}/bin/ostrevin"
desktop="${prefix}/share/applications/${id}.desktop"
desktop-file-validate "${desktop}" || fail "desktop entry does not validate"
appstreamcli validate --no-net "${prefix}/share/metainfo/${id}.metainfo.xml" >"${tmp}/as.log" 2>&1 \
  || { cat "${tmp}/as.log"; fail "metainfo does not validate"; }
grep -qx "Exec=ostrevin" "${desktop}" || fail "desktop entry does not run the launcher"
icon="$(sed -n 's/^Icon=//p' "${desktop}")"
grep -q "<launchable type=\"desktop-id\">${id}.desktop</launchable>" "${prefix}/share/metainfo/${id}.metainfo.xml" \
  || fail "metainfo does not launch ${id}.desktop"
for s in "${sizes[@]}"; do
  png="${prefix}/share/icons/hicolor/${s}x${s}/apps/${icon}.png"
  file "${png}" | grep -q "PNG image data, ${s} x ${s}, 8-bit/color RGBA" || fail "no ${s}x${s} icon ${icon}.png"
done

# The Debian package: the same files under /usr, data under /usr/share,
# the binary stripped, the GL libraries among the dependencies.
(cd build && cpack -G DEB >"${tmp}/cpack.log" 2>&1) || { cat "${tmp}/cpack.log"; fail "cpack DEB failed"; }
deb="$(ls build/ostrevin_*.deb | head -n 1)"
dpkg-deb -c "${deb}" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./usr/||' | sort >"${tmp}/deb.list"
diff "${tmp}/install.list" "${tmp}/deb.list" || fail "package files differ from cmake --install"
[ "$(grep -c '^lib/' "${tmp}/deb.list")" -eq 1 ] || fail "package keeps more than the binary under /usr/lib"
dpkg-deb -x "${deb}" "${tmp}/root"
file "${tmp}/root/usr/lib/ostrevin/ostrevin" | grep -q ', stripped' || fail "binary in the package is not stripped"
run_launcher "${tmp}/root/usr/bin/ostrevin"
depends="$(dpkg-deb -f "${deb}" Depends)"
for p in libgl1 libegl1 libsdl2-2.0-0 libpng16-16; do
  grep -qE "(^|, )${p}( |,|$)" <<<"${depends}" || fail "Depends lacks ${p}: ${depends}"
done
dpkg-deb -f "${deb}" Recommends | grep -q 'libdecor-0-plugin-1-cairo' || fail "Recommends lacks the libdecor plugin"

# The Windows ZIP from the cross build: one folder the program runs in.
[ -d build-win32 ] || ./scripts/cross-build.sh >/dev/null
(cd build-win32 && cpack -G ZIP >"${tmp}/cpack.log" 2>&1) || { cat "${tmp}/cpack.log"; fail "cpack ZIP failed"; }
zip="$(ls build-win32/ostrevin-*-win32.zip | head -n 1)"
top="$(basename "${zip}" .zip)"
unzip -Z1 "${zip}" | grep -v '/$' | sort >"${tmp}/zip.list"
printf '%s\n' ostrevin.exe vs-phong.hlsl ps-phong.hlsl README.txt Data/top.GAMEMODEL Data/middle.GAMEMODEL \
  Data/bottom.GAMEMODEL Data/panel-01-diff.dds | sed "s|^|${top}/|" | sort >"${tmp}/zip.expected"
diff "${tmp}/zip.expected" "${tmp}/zip.list" || fail "ZIP contents differ"
unzip -q "${zip}" -d "${tmp}/zip"
file "${tmp}/zip/${top}/ostrevin.exe" | grep -q 'PE32 executable (GUI)' || fail "ostrevin.exe is not a Windows program"
grep -q 'd3dx9_43\.dll' "${tmp}/zip/${top}/README.txt" || fail "README.txt does not name d3dx9_43.dll"
for f in top.GAMEMODEL middle.GAMEMODEL bottom.GAMEMODEL panel-01-diff.dds; do
  cmp -s "${tmp}/zip/${top}/Data/${f}" "build/demo/Data/${f}" || fail "ZIP's Data/${f} differs from the Linux build's"
done
echo "package: ${deb} ($(du -h "${deb}" | cut -f1)) and ${zip} ($(du -h "${zip}" | cut -f1)) ok"
