#!/usr/bin/env bash
# Sets up, builds and runs every test under Wine and Xvfb. Extra arguments go to ctest.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
"$top/tools/setup.sh"
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
