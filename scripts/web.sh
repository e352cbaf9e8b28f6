#!/usr/bin/env bash
# Experimental: builds the demo for a web browser (WebAssembly + WebGL2)
# from the same source, into build-web/.
#
#   scripts/web.sh            install the tools, build the libraries once, build the page
#   scripts/web.sh page       rebuild the page only
#   scripts/web.sh serve      serve build-web/wasm/page on http://127.0.0.1:8000/
#
# What it uses: Debian's emscripten (its ports download, so none is used),
# and Debian's source packages of glslang, SPIRV-Cross and SDL2, fetched with
# `apt-get source` through a private apt configuration in build-web/apt that
# adds deb-src lines for this machine's own archive (nothing under /etc
# changes). The libraries are built for wasm once into build-web/deps.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=${OSTREVIN_WEB_BUILD:-$ROOT/build-web}
DEPS=$OUT/deps
JOBS=${JOBS:-2}
export NODE_PATH=/usr/share/nodejs

say() { echo "web: $*"; }

install_tools() {
  local missing=()
  for p in emscripten ninja-build dpkg-dev nodejs chromium python3-pil; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return
  say "installing ${missing[*]}"
  local SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# apt with deb-src entries for the archives this machine already uses, in a
# configuration of our own.
private_apt() {
  local conf=$OUT/apt
  mkdir -p "$conf/sources.list.d" "$conf/lists/partial" "$conf/cache"
  : > "$conf/sources.list"
  if [ -f /etc/apt/sources.list ]; then
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list >> "$conf/sources.list"
  fi
  for f in /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] && sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" >> "$conf/sources.list"
  done
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && sed 's/^Types:.*/Types: deb-src/' "$f" > "$conf/sources.list.d/$(basename "$f")"
  done
  APT_OPTS=(-o "Dir::Etc::SourceList=$conf/sources.list" -o "Dir::Etc::SourceParts=$conf/sources.list.d"
    -o "Dir::State::Lists=$conf/lists" -o "Dir::Cache=$conf/cache"
    -o "Dir::Cache::pkgcache=" -o "Dir::Cache::srcpkgcache=" -o "APT::Sandbox::User=root")
}

fetch_sources() {
  local src=$DEPS/src
  if [ -f "$src/.fetched" ]; then return; fi
  private_apt
  mkdir -p "$src"
  say "fetching the source packages of glslang, spirv-cross and libsdl2"
  apt-get "${APT_OPTS[@]}" update -qq
  (cd "$src" && apt-get "${APT_OPTS[@]}" source -qq glslang spirv-cross libsdl2 >/dev/null)
  touch "$src/.fetched"
}

srcdir() { find "$DEPS/src" -maxdepth 1 -mindepth 1 -type d -name "$1-*" | head -n1; }

build_dep() {  # name source-dir cmake-args...
  local name=$1 dir=$2; shift 2
  if [ -f "$DEPS/$name.done" ]; then return; fi
  say "building $name for wasm"
  emcmake cmake -S "$dir" -B "$DEPS/build-$name" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$DEPS/prefix" "$@" >"$DEPS/$name.log" 2>&1
  cmake --build "$DEPS/build-$name" -j"$JOBS" >>"$DEPS/$name.log" 2>&1
  cmake --install "$DEPS/build-$name" >>"$DEPS/$name.log" 2>&1
  touch "$DEPS/$name.done"
}

build_deps() {
  mkdir -p "$DEPS"
  build_dep spirv-cross "$(srcdir spirv-cross)" -DSPIRV_CROSS_CLI=OFF -DSPIRV_CROSS_ENABLE_TESTS=OFF \
    -DSPIRV_CROSS_ENABLE_HLSL=OFF -DSPIRV_CROSS_ENABLE_MSL=OFF -DSPIRV_CROSS_ENABLE_CPP=OFF \
    -DSPIRV_CROSS_ENABLE_REFLECT=OFF -DSPIRV_CROSS_ENABLE_C_API=OFF -DSPIRV_CROSS_ENABLE_UTIL=OFF \
    -DSPIRV_CROSS_SHARED=OFF -DSPIRV_CROSS_STATIC=ON -DCMAKE_CXX_FLAGS=-fexceptions
  build_dep glslang "$(srcdir glslang)" -DENABLE_GLSLANG_BINARIES=OFF -DENABLE_HLSL=ON -DENABLE_OPT=OFF \
    -DBUILD_TESTING=OFF -DENABLE_CTEST=OFF -DBUILD_SHARED_LIBS=OFF -DCMAKE_CXX_FLAGS=-fexceptions
  # glslang's default resource limits live beside its executables, which do
  # not link under wasm-ld 14: the library is made from its two sources.
  if [ ! -f "$DEPS/prefix/lib/libglslang-default-resource-limits.a" ]; then
    local g; g=$(srcdir glslang)
    mkdir -p "$DEPS/build-limits"
    for f in ResourceLimits resource_limits_c; do
      em++ -O2 -fexceptions -I"$g" -c "$g/StandAlone/$f.cpp" -o "$DEPS/build-limits/$f.o"
    done
    emar rcs "$DEPS/prefix/lib/libglslang-default-resource-limits.a" "$DEPS/build-limits/"*.o
  fi
  build_dep sdl2 "$(srcdir libsdl2)" -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF
}

# The demo's data comes from the native host tools (assetgen), built in a
# native build of their own; its ostrevin is the reference the web test
# compares with.
build_host() {
  say "building the native host tools and the reference program"
  cmake -S "$ROOT" -B "$OUT/host" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTREVIN_TESTS=OFF >"$OUT/host.log" 2>&1
  cmake --build "$OUT/host" -j"$JOBS" --target ostrevin_data ostrevin >>"$OUT/host.log" 2>&1 ||
    { tail -n 30 "$OUT/host.log"; exit 1; }
}

build_page() {
  say "building the page"
  emcmake cmake -S "$ROOT" -B "$OUT/wasm" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_FIND_ROOT_PATH="$DEPS/prefix" -DOSTREVIN_WEB_HOST_BUILD="$OUT/host" >"$OUT/wasm.log" 2>&1 ||
    { tail -n 30 "$OUT/wasm.log"; exit 1; }
  cmake --build "$OUT/wasm" -j"$JOBS" --target ostrevin >>"$OUT/wasm.log" 2>&1 || { tail -n 40 "$OUT/wasm.log"; exit 1; }
  say "page: $OUT/wasm/page/index.html (serve the folder: scripts/web.sh serve)"
}

case "${1:-build}" in
  build) install_tools; fetch_sources; build_deps; build_host; build_page ;;
  deps) install_tools; fetch_sources; build_deps ;;
  page) build_page ;;
  serve)
    cd "$OUT/wasm/page"
    say "http://127.0.0.1:${PORT:-8000}/"
    exec python3 -m http.server --bind 127.0.0.1 "${PORT:-8000}" ;;
  *) echo "usage: $0 [build|deps|page|serve]" >&2; exit 2 ;;
esac
