#!/usr/bin/env bash
# Configures and builds modview into ./build (or $BUILD_DIR): the given
# targets, or with none everything, tools and tests included.
#
#   tools/build.sh                      # everything
#   tools/build.sh modview modview_en   # the viewer and its English module only
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
mkdir -p "$build"
cmake -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" > "$build/configure.log" 2>&1 \
  || { cat "$build/configure.log"; exit 1; }
targets=()
for target in "$@"; do targets+=(--target "$target"); done
cmake --build "$build" -j"$(nproc)" "${targets[@]}"
