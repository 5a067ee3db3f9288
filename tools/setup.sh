#!/usr/bin/env bash
# Installs what building and testing modview needs on Debian 12, when missing.
set -euo pipefail
packages=(
  cmake make python3 python3-pefile openssl osslsigncode
  clang-14 lld-14 llvm-14
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  googletest
  wine wine64 xvfb xauth
  fonts-wqy-microhei imagemagick x11-utils
)

# True when this kernel runs 32-bit x86 Linux programs: a 93-byte static i386
# program that only exits with 0. Some virtual machines cannot, and there
# wine32 must not be installed: Debian's wine then starts every program, 64-bit
# ones too, through its 32-bit loader, and nothing runs at all.
runs_32bit_programs() {
  local probe
  probe=$(mktemp)
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' > "$probe"
  chmod +x "$probe"
  local status=0
  "$probe" 2> /dev/null || status=$?
  rm -f "$probe"
  return $status
}
# The x86 build's tests run under 32-bit Wine, from Debian's i386 architecture.
if runs_32bit_programs; then
  packages+=(wine32:i386)
elif [ "${ARCH:-x64}" = x86 ]; then
  echo "setup: this machine cannot run 32-bit programs; wine32 left out, so the x86 tests cannot run here" >&2
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" = 0 ] || sudo="sudo"
  case " ${missing[*]} " in
    *:i386*) dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386 ;;
  esac
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
