#!/usr/bin/env bash
# Builds the x64 and the x86 viewer from scratch and writes
#   dist/modview-<version>-x64.zip and dist/modview-<version>-x86.zip,
# each holding modview.exe, its console companion modview-cli.exe, the English
# module for each (lang/en/modview.exe.mui, lang/en/modview-cli.exe.mui, the
# same file under the name that each program looks for) and README.txt. The
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

for arch in x64 x86; do
  build=$top/build-dist-$arch
  rm -rf "$build"   # from scratch, so that nothing of an earlier build is shipped
  ARCH=$arch BUILD_DIR=$build BUILD_TARGETS="modview modview-cli modview_en" \
    "$top/tools/build.sh" > "$top/dist/build-$arch.log" 2>&1 \
    || { cat "$top/dist/build-$arch.log"; exit 1; }
  zip=$top/dist/modview-$version-$arch.zip
  rm -f "$zip"
  # Fixed order, dates, permissions and compression level: nothing of this
  # machine or this moment goes into the archive.
  python3 - "$zip" "$SOURCE_DATE_EPOCH" "$build/bin/modview.exe" "$build/bin/modview-cli.exe" \
    "$build/bin/lang/en/modview.exe.mui" "$top/tools/package-readme.txt" <<'PY'
import sys, time, zipfile
out, epoch, exe, cli, mui, readme = sys.argv[1:]
stamp = time.gmtime(max(int(epoch), 315532800))[:6]   # zip dates start in 1980
with open(readme, encoding='utf-8') as f:
    text = f.read().replace('\r\n', '\n').replace('\n', '\r\n').encode('utf-8')
entries = [('modview.exe', open(exe, 'rb').read()),
           ('modview-cli.exe', open(cli, 'rb').read()),
           ('lang/en/modview.exe.mui', open(mui, 'rb').read()),
           ('lang/en/modview-cli.exe.mui', open(mui, 'rb').read()),
           ('README.txt', text)]
with zipfile.ZipFile(out, 'w') as z:
    for name, data in entries:
        info = zipfile.ZipInfo(name, stamp)
        info.compress_type = zipfile.ZIP_DEFLATED
        info.create_system = 0          # MS-DOS: no Unix owner or mode bits
        info.external_attr = 0x20       # archive attribute only
        z.writestr(info, data, compresslevel=9)
PY
  echo "package: $zip"
done
