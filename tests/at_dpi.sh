#!/bin/sh
# Runs the tests that measure texts against controls at each DPI given, in a
# Wine prefix of their own whose LogPixels is set before each run (a Wine
# process reads it when it starts), under the Hong Kong Chinese locale so that
# Wine links a font with the Chinese texts' glyphs.
#
#   at_dpi.sh TOP PREFIX TESTS_EXE DPI...
set -u
top=$1 prefix=$2 tests=$3
shift 3
"$top/tools/wine-prefix.sh" "$prefix" || exit 1
export WINEPREFIX="$prefix" WINEDEBUG=-all LANG=zh_HK.UTF-8
status=0
for dpi in "$@"; do
  echo "== $dpi DPI"
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f > /dev/null 2>&1 || status=1
  MODVIEW_DPI=$dpi wine "$tests" --gtest_filter='ColumnTexts.*:EnglishCompanion.TextsFitTheirControls' \
    < /dev/null || status=1
done
wineserver -k 2> /dev/null
exit $status
