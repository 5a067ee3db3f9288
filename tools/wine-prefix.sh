#!/usr/bin/env bash
# Creates the private Wine prefix once: without a window manager, Wine waits
# two seconds whenever a managed window is hidden, so windows are left unmanaged.
set -euo pipefail
prefix=$1
export WINEPREFIX=$prefix WINEDEBUG=-all
if [ ! -f "$prefix/.modview-ready" ]; then
  mkdir -p "$prefix"
  WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i > /dev/null 2>&1 || true
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f > /dev/null 2>&1
  wineserver -w
  touch "$prefix/.modview-ready"
fi
# A prefix made before wine32 (its 32-bit loader) was installed has no 32-bit
# system folder, so the x86 build would find no system libraries: update it.
if [ -x /usr/lib/wine/wine ] && [ ! -f "$prefix/drive_c/windows/syswow64/kernel32.dll" ]; then
  WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -u > /dev/null 2>&1 || true
  wineserver -w
fi
