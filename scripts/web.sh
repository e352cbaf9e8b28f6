#!/usr/bin/env bash
# Experimental: builds the demo for a web browser (WebAssembly + WebGL2)
# from the same source, into build-web/.
#
#   scripts/web.sh            install the tools, build the libraries once, build the page
#   scripts/web.sh page       rebuild the page only
#   scripts/web.sh serve      serve build-web/wasm/page on http://127.0.0.1:8000/
#
# What it uses: Debian's emscripten (its ports download, so none is used),
# and Debian's source packages of glslang, SPIRV-Cross, SPIRV-Tools, SDL2 and libjpeg-turbo,
# fetched with `apt-get source` through a private apt configuration in
# build-web/apt that adds deb-src lines for this machine's own archive
# (nothing under /etc changes); SPIRV-Tools' grammar files come from the
# spirv-headers package (all headers and JSON).
#
# The libraries are built for wasm once per machine into a cache outside the
# checkout, which later builds (and fresh clones) reuse:
#   ${OSTREVIN_USER_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}}/ostrevin/web-deps/<key>
# <key> names the Debian versions of the five libraries, emcc's version and
# the recipe below; a change of any builds a new folder. test.sh sets
# OSTREVIN_USER_CACHE to the user's cache before it gives the tests a
# temporary XDG_CACHE_HOME. OSTREVIN_WEB_DEPS names the folder outright.
#
# The demo's data is written by a native build's assetgen:
# OSTREVIN_WEB_HOST_BUILD, else the checkout's build/ when it is configured
# (only built here), else build-web/host, configured and built here.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=${OSTREVIN_WEB_BUILD:-$ROOT/build-web}
HOST=${OSTREVIN_WEB_HOST_BUILD:-}
if [ -z "$HOST" ]; then
  if [ -f "$ROOT/build/CMakeCache.txt" ]; then HOST=$ROOT/build; else HOST=$OUT/host; fi
fi
JOBS=${JOBS:-2}
export NODE_PATH=/usr/share/nodejs

# Bump when the recipe in build_deps changes what it makes.
RECIPE=2
deps_key() {
  local versions
  versions=$(dpkg-query -W -f='${Package}=${Version} ' glslang-dev spirv-cross spirv-tools libsdl2-dev libjpeg62-turbo-dev 2>/dev/null || true)
  echo "$versions $(emcc --version 2>/dev/null | head -n1) recipe=$RECIPE" | sha256sum | cut -c1-16
}
deps_dir() {
  if [ -n "${OSTREVIN_WEB_DEPS:-}" ]; then
    echo "$OSTREVIN_WEB_DEPS"
  else
    echo "${OSTREVIN_USER_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}}/ostrevin/web-deps/$(deps_key)"
  fi
}

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
  local src=$DEPS/src missing=()
  mkdir -p "$src"
  for p in glslang spirv-cross spirv-tools libsdl2 libjpeg-turbo; do
    [ -n "$(srcdir "$p")" ] || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    private_apt
    say "fetching the source packages of ${missing[*]}"
    apt-get "${APT_OPTS[@]}" update -qq
    (cd "$src" && apt-get "${APT_OPTS[@]}" source -qq "${missing[@]}" >/dev/null)
  fi
  if [ ! -d "$src/spirv-headers/usr/include/spirv" ]; then
    say "fetching spirv-headers (SPIRV-Tools' grammar files)"
    (cd "$src" && apt-get download -qq spirv-headers 2>/dev/null && dpkg-deb -x spirv-headers_*.deb spirv-headers)
  fi
}

srcdir() { find "$DEPS/src" -maxdepth 1 -mindepth 1 -type d -name "$1-[0-9]*" | head -n1; }

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
  # The texture loader's JPEG reader; plain C (no SIMD in wasm). CMake's
  # type-size check cannot read emcc's output (it finds 9): wasm32's sizes
  # are given.
  build_dep libjpeg-turbo "$(srcdir libjpeg-turbo)" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF \
    -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF -DHAVE_SIZE_T=TRUE -DSIZE_T=4 -DHAVE_UNSIGNED_LONG=TRUE -DUNSIGNED_LONG=4
  # SPIRV-Tools: only its core library (the translator validates SPIR-V with
  # it); installing would build the optimiser and the rest. The library,
  # its headers and a package file naming the target the native build's
  # package names (SPIRV-Tools-static).
  if [ ! -f "$DEPS/spirv-tools.done" ]; then
    local t; t=$(srcdir spirv-tools)
    say "building spirv-tools for wasm"
    emcmake cmake -S "$t" -B "$DEPS/build-spirv-tools" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DSPIRV-Headers_SOURCE_DIR="$DEPS/src/spirv-headers/usr" -DSPIRV_SKIP_TESTS=ON -DSPIRV_SKIP_EXECUTABLES=ON \
      -DSPIRV_WERROR=OFF -DBUILD_SHARED_LIBS=OFF -DSPIRV_TOOLS_BUILD_STATIC=ON >"$DEPS/spirv-tools.log" 2>&1
    cmake --build "$DEPS/build-spirv-tools" -j"$JOBS" --target SPIRV-Tools-static >>"$DEPS/spirv-tools.log" 2>&1
    mkdir -p "$DEPS/prefix/lib/cmake/SPIRV-Tools" "$DEPS/prefix/include"
    cp "$DEPS/build-spirv-tools/source/libSPIRV-Tools.a" "$DEPS/prefix/lib/"
    cp -r "$t/include/spirv-tools" "$DEPS/prefix/include/"
    cat >"$DEPS/prefix/lib/cmake/SPIRV-Tools/SPIRV-ToolsConfig.cmake" <<'CMAKE'
# Written by scripts/web.sh: SPIRV-Tools' core library built for wasm.
get_filename_component(_spvt_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
if(NOT TARGET SPIRV-Tools-static)
  add_library(SPIRV-Tools-static STATIC IMPORTED)
  set_target_properties(SPIRV-Tools-static PROPERTIES
    IMPORTED_LOCATION "${_spvt_prefix}/lib/libSPIRV-Tools.a"
    INTERFACE_INCLUDE_DIRECTORIES "${_spvt_prefix}/include")
endif()
CMAKE
    touch "$DEPS/spirv-tools.done"
  fi
}

# The demo's data comes from the native host tools (assetgen), built in a
# native build of their own; its ostrevin is the reference the web test
# compares with.
build_host() {
  say "building the native host tools and the reference program in $HOST"
  mkdir -p "$OUT"
  : >"$OUT/host.log"
  if [ ! -f "$HOST/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$HOST" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTREVIN_TESTS=OFF >>"$OUT/host.log" 2>&1
  fi
  cmake --build "$HOST" -j"$JOBS" --target ostrevin_data ostrevin >>"$OUT/host.log" 2>&1 ||
    { tail -n 30 "$OUT/host.log"; exit 1; }
}

build_page() {
  say "building the page"
  emcmake cmake -S "$ROOT" -B "$OUT/wasm" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_FIND_ROOT_PATH="$DEPS/prefix" -DOSTREVIN_WEB_HOST_BUILD="$HOST" >"$OUT/wasm.log" 2>&1 ||
    { tail -n 30 "$OUT/wasm.log"; exit 1; }
  cmake --build "$OUT/wasm" -j"$JOBS" --target ostrevin >>"$OUT/wasm.log" 2>&1 || { tail -n 40 "$OUT/wasm.log"; exit 1; }
  say "page: $OUT/wasm/page/index.html (serve the folder: scripts/web.sh serve)"
}

DEPS=$(deps_dir)
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
