#!/usr/bin/env bash
# Configures and builds modview into ./build (or $BUILD_DIR): the given
# targets (or those in $BUILD_TARGETS), or with none everything, tools and
# tests included. ARCH=x86 builds the 32-bit viewer, into ./build-x86.
#
#   tools/build.sh                      # everything
#   tools/build.sh modview modview_en   # the viewer and its English module only
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
source "$top/tools/arch.sh"
mkdir -p "$build"
cmake -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/$toolchain.cmake" \
      -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" > "$build/configure.log" 2>&1 \
  || { cat "$build/configure.log"; exit 1; }
targets=()
for target in "$@"; do targets+=(--target "$target"); done
[ $# -gt 0 ] || for target in ${BUILD_TARGETS:-}; do targets+=(--target "$target"); done
cmake --build "$build" -j"$(nproc)" "${targets[@]}"
