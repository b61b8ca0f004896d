#!/usr/bin/env bash
# Builds GoogleTest and pugixml for MinGW-w64 into <build dir>/deps, where the Windows
# toolchain file looks for them. Usage: scripts/windows-deps.sh [build dir]
# (default build-windows). Already built parts are kept.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=$(realpath -m "${1:-build-windows}")
deps="$build/deps"
toolchain="$root/cmake/MinGW-w64.cmake"

build_dep() {  # <name> <source dir> <cmake options...>
  local name=$1 source=$2
  shift 2
  [ -f "$deps/.$name-built" ] && return 0
  echo "== building $name for Windows"
  cmake -S "$source" -B "$build/deps-build/$name" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$deps" "$@" >/dev/null
  cmake --build "$build/deps-build/$name"
  cmake --install "$build/deps-build/$name" >/dev/null
  touch "$deps/.$name-built"
}

build_dep googletest /usr/src/googletest -DBUILD_GMOCK=ON -Dgtest_disable_pthreads=OFF
pugixml_source=$(ls -d "$root"/third_party/pugixml-*/ 2>/dev/null | head -n 1)
if [ -z "$pugixml_source" ]; then
  echo "pugixml's source is missing: run scripts/setup-windows.sh first" >&2
  exit 1
fi
build_dep pugixml "$pugixml_source" -DBUILD_SHARED_LIBS=OFF -DPUGIXML_BUILD_TESTS=OFF
