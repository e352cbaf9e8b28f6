#!/usr/bin/env bash
# cmake --install lays the program out as desktop software under one prefix,
# with a launcher on the PATH that works from any directory; CPack makes the
# Debian package of the same files and, from the Windows cross build, the
# ZIP. Checks the layout, the desktop entry, icons and metainfo against the
# validators; the package's files, stripping and dependencies, lintian, its
# manual pages through man, the changelog, and the demo run on a user's copy
# of its data with a model the packaged gamemodel made; the ZIP's contents
# and notices. Needs DISPLAY (runs the installed launcher for a few frames).
set -euo pipefail
cd "$(dirname "$0")/.."
id=org.ostrevin.Ostrevin
sizes=(16 22 24 32 48 64 128 256)
tmp="$(mktemp -d)"
trap 'rm -rf "${tmp}"' EXIT
fail() { echo "package: $*"; exit 1; }
run_launcher() {  # run_launcher PATH [DIR]: a few frames, started in DIR (default: another directory)
  (cd "${2:-/}" && OSTREVIN_EXIT_AFTER=3 OSTREVIN_MESSAGEBOX=0 "$1") || fail "launcher $1 failed"
}

# cmake --install: the layout, the launcher, the desktop files.
prefix="${tmp}/prefix"
cmake --install build --prefix "${prefix}" >/dev/null
(cd "${prefix}" && find . -type f | sed 's|^\./||' | sort) >"${tmp}/install.list"
for f in bin/ostrevin bin/gamemodel lib/ostrevin/ostrevin share/ostrevin/vs-phong.hlsl share/ostrevin/ps-phong.hlsl \
         share/ostrevin/Data/top.GAMEMODEL share/ostrevin/Data/middle.GAMEMODEL \
         share/ostrevin/Data/bottom.GAMEMODEL share/ostrevin/Data/panel-01-diff.dds \
         "share/applications/${id}.desktop" "share/metainfo/${id}.metainfo.xml" \
         share/man/man1/ostrevin.1.gz share/man/man1/gamemodel.1.gz \
         share/doc/ostrevin/copyright share/doc/ostrevin/changelog.gz; do
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
grep -q "<project_license>MIT</project_license>" "${prefix}/share/metainfo/${id}.metainfo.xml" \
  || fail "metainfo does not name the project's licence"
for s in "${sizes[@]}"; do
  png="${prefix}/share/icons/hicolor/${s}x${s}/apps/${icon}.png"
  file "${png}" | grep -q "PNG image data, ${s} x ${s}, 8-bit/color RGBA" || fail "no ${s}x${s} icon ${icon}.png"
done

# The Debian package: the same files under /usr, data under /usr/share,
# the binaries stripped, the GL libraries among the dependencies, and
# nothing lintian calls an error or a warning.
(cd build && cpack -G DEB >"${tmp}/cpack.log" 2>&1) || { cat "${tmp}/cpack.log"; fail "cpack DEB failed"; }
deb="$(ls build/ostrevin_*.deb | head -n 1)"
dpkg-deb -c "${deb}" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./usr/||' | sort >"${tmp}/deb.list"
diff "${tmp}/install.list" "${tmp}/deb.list" || fail "package files differ from cmake --install"
[ "$(grep -c '^lib/' "${tmp}/deb.list")" -eq 1 ] || fail "package keeps more than the binary under /usr/lib"
dpkg-deb -x "${deb}" "${tmp}/root"
root="${tmp}/root/usr"
for b in lib/ostrevin/ostrevin bin/gamemodel; do
  file "${root}/${b}" | grep -q ', stripped' || fail "${b} in the package is not stripped"
done
run_launcher "${root}/bin/ostrevin"
depends="$(dpkg-deb -f "${deb}" Depends)"
for p in libgl1 libegl1 libsdl2-2.0-0 libpng16-16 libassimp5 libmeshoptimizer2d; do
  grep -qE "(^|, )${p}( |,|$)" <<<"${depends}" || fail "Depends lacks ${p}: ${depends}"
done
dpkg-deb -f "${deb}" Recommends | grep -q 'libdecor-0-plugin-1-cairo' || fail "Recommends lacks the libdecor plugin"
[ "$(dpkg-deb -f "${deb}" Section)" = graphics ] || fail "Section is not graphics"
lintian --allow-root --fail-on error,warning "${deb}" >"${tmp}/lintian.log" 2>&1 \
  || { cat "${tmp}/lintian.log"; fail "lintian reports errors or warnings"; }

# Notices: the project's licence and a paragraph for each library linked
# into the binary (lintian checks the machine-readable format).
copyright="${root}/share/doc/ostrevin/copyright"
grep -qx "License: Expat" "${copyright}" || fail "copyright lacks the project's licence"
for lib in glslang spirv-tools spirv-cross stb; do
  grep -qx "Files: ${lib}/\*" "${copyright}" || fail "copyright has no paragraph for ${lib}"
done
# The changelog's newest entry is the package's version.
zcat "${root}/share/doc/ostrevin/changelog.gz" >"${tmp}/changelog"
[ "$(dpkg-parsechangelog -l "${tmp}/changelog" -S Version)" = "$(dpkg-deb -f "${deb}" Version)" ] \
  || fail "changelog's newest entry is not the package's version"
# man finds both pages in the package's tree.
for page in ostrevin gamemodel; do
  MANPATH="${root}/share/man" MANWIDTH=80 man -P cat "${page}" >"${tmp}/${page}.txt" 2>"${tmp}/man.log" \
    || { cat "${tmp}/man.log"; fail "man ${page} fails"; }
  grep -q "^NAME" "${tmp}/${page}.txt" && grep -q "EXIT STATUS" "${tmp}/${page}.txt" \
    || fail "man ${page} lacks its NAME or EXIT STATUS section"
done
# A user's own files: a copy of the data with a model the packaged tool
# made; the launcher runs the demo in that folder (its a.out appears there).
mine="${tmp}/mine"
cp -r "${root}/share/ostrevin" "${mine}"
rm -f "${mine}/a.out"  # left by the launcher's run above: this tree is writable
"${root}/bin/gamemodel" import --fit 16 --origin base /usr/share/assimp/models/OBJ/spider.obj \
  "${mine}/Data/top.GAMEMODEL" >/dev/null || fail "packaged gamemodel import failed"
cmp -s "${mine}/Data/top.GAMEMODEL" "${root}/share/ostrevin/Data/top.GAMEMODEL" && fail "import left the model as it was"
run_launcher "${root}/bin/ostrevin" "${mine}"
[ -f "${mine}/a.out" ] || fail "launcher did not run the demo in the folder with the user's files"

# The Windows ZIP from the cross build: one folder the program runs in.
[ -d build-win32 ] || ./scripts/cross-build.sh >/dev/null
(cd build-win32 && cpack -G ZIP >"${tmp}/cpack.log" 2>&1) || { cat "${tmp}/cpack.log"; fail "cpack ZIP failed"; }
zip="$(ls build-win32/ostrevin-*-win32.zip | head -n 1)"
top="$(basename "${zip}" .zip)"
unzip -Z1 "${zip}" | grep -v '/$' | sort >"${tmp}/zip.list"
printf '%s\n' ostrevin.exe vs-phong.hlsl ps-phong.hlsl README.txt NOTICES.txt Data/top.GAMEMODEL Data/middle.GAMEMODEL \
  Data/bottom.GAMEMODEL Data/panel-01-diff.dds | sed "s|^|${top}/|" | sort >"${tmp}/zip.expected"
diff "${tmp}/zip.expected" "${tmp}/zip.list" || fail "ZIP contents differ"
unzip -q "${zip}" -d "${tmp}/zip"
file "${tmp}/zip/${top}/ostrevin.exe" | grep -q 'PE32 executable (GUI)' || fail "ostrevin.exe is not a Windows program"
grep -q 'd3dx9_43\.dll' "${tmp}/zip/${top}/README.txt" || fail "README.txt does not name d3dx9_43.dll"
# NOTICES.txt: the project's licence word for word, then the notices of the
# runtime -static links into ostrevin.exe.
notices="${tmp}/notices.txt"
file "${tmp}/zip/${top}/NOTICES.txt" | grep -q 'with CRLF line terminators$' || fail "NOTICES.txt has other line ends than CRLF"
tr -d '\r' <"${tmp}/zip/${top}/NOTICES.txt" >"${notices}"
[[ "$(cat "${notices}")" == *"$(cat LICENSE)"* ]] || fail "NOTICES.txt does not hold LICENSE"
for part in 'GCC runtime' 'mingw-w64 runtime' 'gdtoa' 'winpthreads'; do
  grep -q "^${part}" "${notices}" || fail "NOTICES.txt lacks the notice of ${part}"
done
for f in top.GAMEMODEL middle.GAMEMODEL bottom.GAMEMODEL panel-01-diff.dds; do
  cmp -s "${tmp}/zip/${top}/Data/${f}" "build/demo/Data/${f}" || fail "ZIP's Data/${f} differs from the Linux build's"
done
echo "package: ${deb} ($(du -h "${deb}" | cut -f1)) and ${zip} ($(du -h "${zip}" | cut -f1)) ok"
