# Sourced by the scripts: ARCH (x64, the default, or x86) chooses the
# toolchain and the default build folder ($BUILD_DIR overrides it).
case "${ARCH:-x64}" in
  x64) toolchain=mingw-w64-x86_64 build=${BUILD_DIR:-$top/build} ;;
  x86) toolchain=mingw-w64-i686 build=${BUILD_DIR:-$top/build-x86} ;;
  *) echo "ARCH must be x64 or x86, not $ARCH" >&2; exit 2 ;;
esac
