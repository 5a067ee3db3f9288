#!/usr/bin/env bash
# Benchmark of the console companion as scripts run it, whole processes under
# Wine without a display: the time of a process that only starts (--help),
# --json over the first COUNT Wine modules in one process, and --json over
# mshtml.dll (the largest) alone. Prints the median of RUNS runs, in seconds.
#
#   tools/bench_cli.sh [CLI.exe...]   default: the build's modview-cli.exe
#   RUNS=N  COUNT=N  tools/bench_cli.sh
#   KEEP_DISPLAY=1 WINEPREFIX=DIR xvfb-run -a tools/bench_cli.sh OLD.exe NEW.exe
#       with a display, for a companion that needs one (those before 2026-12)
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

[ -n "${KEEP_DISPLAY:-}" ] || unset DISPLAY WAYLAND_DISPLAY
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix-cli} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$top/tools/wine-prefix.sh" "$WINEPREFIX"
wineserver -p
wine cmd /c exit > /dev/null 2>&1 < /dev/null

mapfile -t all < <(ls "$modules"/* | head -n "$count")
many=()
for f in "${all[@]}"; do many+=("Z:${f//\//\\}"); done
mshtml="Z:${modules//\//\\}\\mshtml.dll"

# Seconds taken by one run of the command.
seconds() {
  local start end
  start=$(date +%s%N)
  "$@" > /dev/null 2>&1 || true
  end=$(date +%s%N)
  echo $(( (end - start) / 1000000 ))
}

median() {
  sort -n | awk '{ v[NR] = $1 } END { printf "%.3f", (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) / 1000 }'
}

declare -A times
for ((run = 0; run < runs; ++run)); do
  for cli in "$@"; do
    times["$cli help"]+="$(seconds wine "$cli" --help) "
    times["$cli many"]+="$(seconds wine "$cli" --json "${many[@]}") "
    times["$cli mshtml"]+="$(seconds wine "$cli" --json "$mshtml") "
  done
done
printf '%-60s %10s %16s %12s\n' "median of $runs runs, s" "--help" "--json $count" "--json mshtml"
for cli in "$@"; do
  printf '%-60s %10s %16s %12s\n' "$cli" \
    "$(tr ' ' '\n' <<< "${times["$cli help"]}" | grep . | median)" \
    "$(tr ' ' '\n' <<< "${times["$cli many"]}" | grep . | median)" \
    "$(tr ' ' '\n' <<< "${times["$cli mshtml"]}" | grep . | median)"
done
wineserver -k || true
