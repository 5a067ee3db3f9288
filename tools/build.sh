#!/usr/bin/env bash
# Configures and builds modview and its tests into ./build (or $BUILD_DIR).
# ARCH=x86 builds the 32-bit viewer instead, into ./build-x86 by default.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
source "$top/tools/arch.sh"
mkdir -p "$build"
cmake -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/$toolchain.cmake" \
      -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" > "$build/configure.log" 2>&1 \
  || { cat "$build/configure.log"; exit 1; }
cmake --build "$build" -j"$(nproc)" ${BUILD_TARGETS:+--target $BUILD_TARGETS}
