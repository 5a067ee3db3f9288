#!/usr/bin/env bash
# Benchmark of the console companion as scripts run it, whole processes under
# Wine without a display, a wineserver kept running between them: the time
# of a process that only starts (--help); --json over the first COUNT Wine
# modules in one process, written to a file, to a pipe and to /dev/null;
# --json over mshtml.dll (the largest) alone; and beside them llvm-readobj's
# five printers (headers, imports, exports, sections, resources) over the same
# modules, to /dev/null. Prints the median of RUNS runs, in seconds.
#
#   tools/bench_cli.sh [CLI.exe...]   default: the build's modview-cli.exe
#   RUNS=N  COUNT=N  tools/bench_cli.sh
#
# Several executables are measured in turns, so that a change of the
# machine's load falls on all of them alike.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
runs=${RUNS:-5}
count=${COUNT:-300}
modules=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
[ $# -gt 0 ] || set -- "$build/bin/modview-cli.exe"

unset DISPLAY WAYLAND_DISPLAY
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix-cli} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$top/tools/wine-prefix.sh" "$WINEPREFIX"
wineserver -p
wine cmd /c exit > /dev/null 2>&1 < /dev/null

mapfile -t all < <(ls "$modules"/* | head -n "$count")
many=()
for f in "${all[@]}"; do many+=("Z:${f//\//\\}"); done
mshtml="Z:${modules//\//\\}\\mshtml.dll"
scratch=$(mktemp)
trap 'rm -f "$scratch"; wineserver -k || true' EXIT

# Milliseconds taken by one run of the command, its output going to $to:
# "file", "pipe" or "null".
milliseconds() {
  local to=$1 start end
  shift
  start=$(date +%s%N)
  case $to in
    file) "$@" > "$scratch" 2> /dev/null || true ;;
    pipe) { "$@" 2> /dev/null || true; } | cat > /dev/null ;;
    null) "$@" > /dev/null 2>&1 || true ;;
  esac
  end=$(date +%s%N)
  echo $(( (end - start) / 1000000 ))
}

median() {
  sort -n | awk '{ v[NR] = $1 } END { printf "%.3f", (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) / 1000 }'
}

readobj=$(command -v llvm-readobj-14 || command -v llvm-readobj || true)
declare -A times
for ((run = 0; run < runs; ++run)); do
  for cli in "$@"; do
    times["$cli help"]+="$(milliseconds null wine "$cli" --help) "
    for to in file pipe null; do
      times["$cli $to"]+="$(milliseconds $to wine "$cli" --json "${many[@]}") "
    done
    times["$cli mshtml"]+="$(milliseconds null wine "$cli" --json "$mshtml") "
  done
  if [ -n "$readobj" ]; then
    times["readobj"]+="$(milliseconds null "$readobj" --file-headers --coff-imports --coff-exports --sections \
      --coff-resources "${all[@]}") "
  fi
done
column() { tr ' ' '\n' <<< "${times["$1"]}" | grep . | median; }
printf '%-52s %8s %12s %12s %12s %10s\n' "median of $runs runs, s" "--help" "$count to file" "to pipe" \
  "to /dev/null" "mshtml"
for cli in "$@"; do
  printf '%-52s %8s %12s %12s %12s %10s\n' "$cli" "$(column "$cli help")" "$(column "$cli file")" \
    "$(column "$cli pipe")" "$(column "$cli null")" "$(column "$cli mshtml")"
done
if [ -n "$readobj" ]; then
  printf '%-52s %8s %12s %12s %12s %10s\n' "llvm-readobj, five printers" "" "" "" "$(column readobj)" ""
fi
