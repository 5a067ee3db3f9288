#!/usr/bin/env bash
# Sets up, builds and starts the viewer under Wine on FILE (default: modview.exe
# itself). Without a display it runs under Xvfb and saves a screenshot.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
"$top/tools/setup.sh"
# Only what the viewer needs: tools/test.sh builds the tools and the tests.
# The Wine prefix, made on the first run only, is made meanwhile.
"$top/tools/wine-prefix.sh" "$build/wineprefix" &
prefix=$!
"$top/tools/build.sh" modview modview_en
wait "$prefix"
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all
# The texts are Chinese (Hong Kong): under this locale Wine finds a font with
# their glyphs (fonts-wqy-microhei). VIEW_LANG chooses another.
export LANG=${VIEW_LANG:-zh_HK.UTF-8}
file=${1:-$build/bin/modview.exe}
case "$file" in /*) ;; *) file=$PWD/$file ;; esac
if [ -n "${DISPLAY:-}" ]; then
  exec wine "$build/bin/modview.exe" "$file"
fi
shot=$build/modview-screenshot.png
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  wine "$0" "$1" & sleep 5
  import -window root "$2" && echo "view: no display; screenshot saved to $2"
  wineserver -k' "$build/bin/modview.exe" "$file" "$shot"
