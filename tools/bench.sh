#!/usr/bin/env bash
# Benchmark: builds modview, then on the ten largest PE modules of Wine's
# 64-bit library folder times modview's open against the floor of inserting
# the same rows (bench_open.exe, which also runs its own scale images), the
# whole modview process from start to a filled window, and two peers run as
# whole processes: llvm-readobj-14 and a full pefile parse with Debian's python3.
#
#   tools/bench.sh [RUNS]        RUNS per measurement, default 7
#   MODULES=DIR  COUNT=N  PEER_RUNS=N  BENCH_ARGS="--no-scale"  tools/bench.sh
#
# Prints bench_open's report, then one table. The machine is shared and noisy:
# compare medians, and run it twice before believing a difference.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
runs=${1:-${RUNS:-7}}
peer_runs=${PEER_RUNS:-$runs}
modules=${MODULES:-/usr/lib/x86_64-linux-gnu/wine/x86_64-windows}
count=${COUNT:-10}
python=/usr/bin/python3   # Debian's, which has python3-pefile

"$top/tools/setup.sh"
"$top/tools/build.sh" > "$build/bench-build.log" 2>&1 || { cat "$build/bench-build.log"; exit 1; }
"$top/tools/wine-prefix.sh" "$build/wineprefix"

# The COUNT largest files of the folder that modview shows: MZ and a PE
# signature where e_lfanew points.
mapfile -t files < <("$python" - "$modules" "$count" <<'EOF'
import os, struct, sys
folder, count = sys.argv[1], int(sys.argv[2])
found = []
for name in os.listdir(folder):
    path = os.path.join(folder, name)
    if not os.path.isfile(path):
        continue
    with open(path, 'rb') as f:
        head = f.read(64)
        if len(head) < 64 or head[:2] != b'MZ':
            continue
        f.seek(struct.unpack_from('<i', head, 0x3C)[0])
        if f.read(4) != b'PE\0\0':
            continue
    found.append((os.path.getsize(path), path))
for size, path in sorted(found, reverse=True)[:count]:
    print(path)
EOF
)

winpath() { local p=$1; echo "Z:${p//\//\\}"; }
wine_files=()
for f in "${files[@]}"; do wine_files+=("$(winpath "$f")"); done

tsv=$build/bench-open.tsv
report=$build/bench-report.txt
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  wineserver -p
  wine cmd /c exit > /dev/null 2>&1 < /dev/null
  wine "$@"
  status=$?
  wineserver -k || true
  exit $status' bash "$build/bin/bench_open.exe" --runs "$runs" --process "$(winpath "$build/bin/modview.exe")" \
  --tsv "$(winpath "$tsv")" ${BENCH_ARGS:-} "${wine_files[@]}" | tr -d '\r' | tee "$report"

# Median whole-process time in ms of a command run $peer_runs times.
median_ms() {
  local samples=() start end
  for ((i = 0; i < peer_runs; ++i)); do
    start=$(date +%s%N)
    "$@" > /dev/null 2>&1 || true
    end=$(date +%s%N)
    samples+=($(( (end - start) / 1000 )))
  done
  printf '%s\n' "${samples[@]}" | sort -n | awk '{ v[NR] = $1 } END {
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.1f", m / 1000 }'
}

echo
echo "Whole-file comparison: medians in ms ($runs or more runs; peers $peer_runs runs)"
printf '| %-18s | %9s | %6s | %8s | %8s | %12s | %9s | %12s | %8s |\n' \
  module "size (MB)" rows open floor "open ÷ floor" process llvm-readobj pefile
printf '|%s|%s|%s|%s|%s|%s|%s|%s|%s|\n' -------------------- ----------: -------: ---------: \
  ---------: -------------: ----------: -------------: ---------:
i=0
while IFS=$'\t' read -r name bytes rows open _ _ floor ratio process; do
  f=${files[$i]}
  i=$((i + 1))
  readobj=$(median_ms llvm-readobj-14 --coff-imports --coff-exports --sections --coff-resources "$f")
  pefile=$(median_ms "$python" -c 'import sys, pefile; pefile.PE(sys.argv[1])' "$f")
  printf '| %-18s | %9.1f | %6d | %8.2f | %8.2f | %12.2f | %9.1f | %12s | %8s |\n' \
    "$name" "$(awk -v b="$bytes" 'BEGIN { print b / 1048576 }')" "$rows" "$open" "$floor" "$ratio" \
    "$process" "$readobj" "$pefile"
done < <(tr -d '\r' < "$tsv")
echo
echo "open: OpenImage in a running viewer (hidden dialog), emptying the previous rows included;"
echo "floor: emptying and inserting the same rows without the file; open ÷ floor: median of the"
echo "runs' ratios; process: start of modview.exe to a visible dialog with its lists filled;"
echo "peers: whole processes, output discarded."
