#!/usr/bin/env bash
# Installs the Debian packages the build, the demo and the tests need.
# Only missing packages are installed; the script says which. Works as root
# or through sudo.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libsdl2-dev libx11-dev libgl-dev libpng-dev libstb-dev libjpeg62-turbo-dev
  glslang-dev glslang-tools spirv-tools spirv-cross libspirv-cross-c-shared-dev
  libassimp-dev libmeshoptimizer-dev
  googletest libgtest-dev assimp-testmodels python3-pil
  g++-mingw-w64-i686 g++-mingw-w64-x86-64
  clang libclang-rt-14-dev
  xvfb xauth x11-utils xdotool libgl1-mesa-dri
  file appstream desktop-file-utils unzip lintian man-db dpkg-dev
  emscripten ninja-build nodejs chromium
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "install-deps: done"
