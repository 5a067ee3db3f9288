#!/usr/bin/env bash
# Builds the x64 and the x86 viewer from scratch and writes
#   dist/modview-<version>-x64.zip and dist/modview-<version>-x86.zip,
# each holding modview.exe and its console companion modview-cli.exe (both
# without debug information), the English module for each
# (lang/en/modview.exe.mui, lang/en/modview-cli.exe.mui: the same file under
# the name that each program looks for) and README.txt, and beside each a
# -debug.zip with modview.exe.debug and modview-cli.exe.debug. The
# version is the FILEVERSION of the version resource.
#
# The archives are reproducible: the same sources give the same bytes. The
# link date in the executables, and every date in the archives, is the last
# commit's time (or $SOURCE_DATE_EPOCH); the linker takes its timestamp from
# that variable.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/setup.sh"

version=$(sed -n 's/^ *FILEVERSION *\([0-9]*\), *\([0-9]*\), *\([0-9]*\), *\([0-9]*\).*/\1.\2.\3.\4/p' "$top/res/modview.rc")
[ -n "$version" ] || { echo "package: no FILEVERSION in res/modview.rc" >&2; exit 1; }
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$top" log -1 --format=%ct 2>/dev/null || echo 315532800)}
mkdir -p "$top/dist"

# write_zip ARCHIVE NAME=FILE...: the files under those names, text files
# (.txt) with CRLF line ends.
write_zip() {
  python3 - "$SOURCE_DATE_EPOCH" "$@" <<'PY'
import sys, time, zipfile
epoch, out, entries = sys.argv[1], sys.argv[2], sys.argv[3:]
stamp = time.gmtime(max(int(epoch), 315532800))[:6]   # zip dates start in 1980
with zipfile.ZipFile(out, 'w') as z:
    for entry in entries:
        name, path = entry.split('=', 1)
        data = open(path, 'rb').read()
        if name.endswith('.txt'):
            data = data.decode('utf-8').replace('\r\n', '\n').replace('\n', '\r\n').encode('utf-8')
        info = zipfile.ZipInfo(name, stamp)
        info.compress_type = zipfile.ZIP_DEFLATED
        info.create_system = 0          # MS-DOS: no Unix owner or mode bits
        info.external_attr = 0x20       # archive attribute only
        z.writestr(info, data, compresslevel=9)
PY
}

for arch in x64 x86; do
  build=$top/build-dist-$arch
  rm -rf "$build"   # from scratch, so that nothing of an earlier build is shipped
  ARCH=$arch BUILD_DIR=$build BUILD_TARGETS="modview modview-cli modview_en" \
    "$top/tools/build.sh" > "$top/dist/build-$arch.log" 2>&1 \
    || { cat "$top/dist/build-$arch.log"; exit 1; }
  # The executables ship without their debug information (nearly three
  # quarters of them); that goes into an archive of its own beside them, and
  # each stripped executable names its file (.gnu_debuglink) for a debugger.
  case $arch in x64) tool=x86_64-w64-mingw32 ;; x86) tool=i686-w64-mingw32 ;; esac
  mkdir -p "$build/dist"
  for exe in modview.exe modview-cli.exe; do
    "$tool-objcopy" --only-keep-debug "$build/bin/$exe" "$build/dist/$exe.debug"
    "$tool-objcopy" --strip-all --add-gnu-debuglink="$build/dist/$exe.debug" "$build/bin/$exe" "$build/dist/$exe"
  done
  zip=$top/dist/modview-$version-$arch.zip
  debug_zip=$top/dist/modview-$version-$arch-debug.zip
  rm -f "$zip" "$debug_zip"
  # Fixed order, dates, permissions and compression level: nothing of this
  # machine or this moment goes into the archive.
  mui=$build/bin/lang/en/modview.exe.mui
  write_zip "$zip" "modview.exe=$build/dist/modview.exe" "modview-cli.exe=$build/dist/modview-cli.exe" \
    "lang/en/modview.exe.mui=$mui" "lang/en/modview-cli.exe.mui=$mui" "README.txt=$top/tools/package-readme.txt"
  write_zip "$debug_zip" "modview.exe.debug=$build/dist/modview.exe.debug" \
    "modview-cli.exe.debug=$build/dist/modview-cli.exe.debug"
  echo "package: $zip ($(stat -c %s "$build/dist/modview.exe") bytes of modview.exe), $debug_zip"
done
