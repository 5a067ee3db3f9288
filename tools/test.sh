#!/usr/bin/env bash
# Sets up, builds and runs every test under Wine and Xvfb. Extra arguments go to ctest.
# ARCH=x86 does the same for the 32-bit build (in build-x86, under 32-bit Wine).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
source "$top/tools/arch.sh"
"$top/tools/setup.sh"
# Where setup could not install 32-bit Wine (the machine runs no 32-bit
# programs), the x86 build is still made, but its tests cannot run.
if [ "${ARCH:-x64}" = x86 ] && ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
  BUILD_TARGETS="modview modview_en" "$top/tools/build.sh"
  echo "test: x86 viewer built in $build; its tests were NOT run: no 32-bit Wine on this machine" >&2
  exit 0
fi
"$top/tools/build.sh"
"$top/tools/wine-prefix.sh" "$build/wineprefix"
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all
# One display and one wineserver for the whole run: each Wine start is then cheap.
exec xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  wineserver -p
  # Start Wine'"'"'s background services now, with their output going nowhere:
  # started by a test, they would inherit ctest'"'"'s pipes and keep it waiting.
  wine cmd /c exit > /dev/null 2>&1 < /dev/null
  cd "$0" && ctest --output-on-failure "${@}"
  status=$?
  wineserver -k || true
  exit $status' "$build" "$@"
