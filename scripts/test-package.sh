#!/usr/bin/env bash
# cmake --install puts the program, its shaders and Data/ under one prefix
# with a launcher on the PATH that works from any directory; CPack makes a
# Debian package of the same files.
set -euo pipefail
cd "$(dirname "$0")/.."
prefix="$(mktemp -d)"
trap 'rm -rf "${prefix}"' EXIT
cmake --install build --prefix "${prefix}" >/dev/null
for f in bin/ostrevin lib/ostrevin/ostrevin lib/ostrevin/vs-phong.hlsl lib/ostrevin/ps-phong.hlsl \
         lib/ostrevin/Data/top.GAMEMODEL lib/ostrevin/Data/panel-01-diff.dds; do
  [ -e "${prefix}/${f}" ] || { echo "missing ${f}"; exit 1; }
done
(cd / && OSTREVIN_EXIT_AFTER=3 OSTREVIN_MESSAGEBOX=0 "${prefix}/bin/ostrevin") || { echo "installed launcher failed"; exit 1; }
(cd build && cpack -G DEB >/dev/null)
deb="$(ls build/ostrevin_*.deb | head -n 1)"
contents="$(dpkg-deb -c "${deb}")"
grep -q './usr/bin/ostrevin$' <<<"${contents}" || { echo "package lacks the launcher"; exit 1; }
grep -q './usr/lib/ostrevin/Data/bottom.GAMEMODEL$' <<<"${contents}" || { echo "package lacks Data/"; exit 1; }
echo "package: ${deb} ($(du -h "${deb}" | cut -f1)), install and launcher ok"
