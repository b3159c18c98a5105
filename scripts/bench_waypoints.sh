#!/usr/bin/env bash
# Whole-process comparison with GPSBabel: a generated database of 50 000
# waypoints and 200 routes of 50 points, read (to GPX) and written (to GDB)
# by velkatool convert and by gpsbabel on the same file.
# Usage: scripts/bench_waypoints.sh [RUNS]   (needs build/release/bin/velkatool)
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-3}"
tool="$PWD/build/release/bin/velkatool"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

python3 - "$tmp/big.gpx" <<'PY'
import random, sys
rng = random.Random(20240501)
out = open(sys.argv[1], "w", encoding="utf-8")
out.write('<?xml version="1.0" encoding="UTF-8"?>\n<gpx version="1.1" creator="bench" xmlns="http://www.topografix.com/GPX/1/1">\n')
for i in range(50000):
    lat = rng.uniform(-60, 70); lon = rng.uniform(-179, 179)
    out.write(f'<wpt lat="{lat:.6f}" lon="{lon:.6f}"><ele>{rng.uniform(-50, 4000):.1f}</ele>'
              f'<time>20{rng.randint(10, 24)}-0{rng.randint(1, 9)}-1{rng.randint(0, 9)}T12:{rng.randint(10, 59)}:00Z</time>'
              f'<name>WPT{i:05d}</name><cmt>Точка номер {i} near Łódź</cmt></wpt>\n')
for r in range(200):
    out.write(f'<rte><name>Route {r}</name>\n')
    for k in range(50):
        lat = rng.uniform(-60, 70); lon = rng.uniform(-179, 179)
        out.write(f'<rtept lat="{lat:.6f}" lon="{lon:.6f}"><name>R{r:03d}P{k:02d}</name></rtept>\n')
    out.write('</rte>\n')
out.write('</gpx>\n')
PY
"$tool" convert "$tmp/big.gpx" "$tmp/big.gdb" >/dev/null
echo "input: $(stat -c %s "$tmp/big.gdb") bytes"

# Median wall time of a command over the runs, in seconds.
median() {
  local times=()
  for _ in $(seq "$runs"); do
    local t0 t1
    t0=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    t1=$(date +%s.%N)
    times+=("$(echo "$t1 - $t0" | bc)")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'
}

report() {
  local name="$1" ours="$2" theirs="$3"
  echo "$name: velkatool ${ours}s, gpsbabel ${theirs}s, ratio $(echo "scale=1; $theirs / $ours" | bc)x"
}

a=$(median "$tool" convert "$tmp/big.gdb" "$tmp/ours.gpx")
b=$(median gpsbabel -i gdb -f "$tmp/big.gdb" -o gpx -F "$tmp/theirs.gpx")
report "import (gdb to gpx)" "$a" "$b"
a=$(median "$tool" convert "$tmp/big.gdb" "$tmp/ours.gdb")
b=$(runs=1 median gpsbabel -i gdb -f "$tmp/big.gdb" -o gdb -F "$tmp/theirs.gdb")
report "export (gdb to gdb)" "$a" "$b"
