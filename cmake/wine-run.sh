#!/bin/sh
# Runs a cross-built program under Wine with the build folder's private prefix.
# WINEPREFIX may be set by the caller; otherwise it is <current dir>/wineprefix.
: "${WINEPREFIX:=$PWD/wineprefix}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec wine "$@"
