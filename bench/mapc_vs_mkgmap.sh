#!/usr/bin/env bash
# Whole-process comparison of the map compiler with mkgmap (default style)
# on the same OpenStreetMap extract: wall time and output size.
# Usage: bench/mapc_vs_mkgmap.sh [EXTRACT.osm.pbf]   (needs mkgmap installed)
set -euo pipefail
cd "$(dirname "$0")/.."
input="${1:-../shared/data/osm/liechtenstein-20150727.osm.pbf}"
tool=build/release/bin/velkatool
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
t0=$(date +%s.%N)
"$tool" mapc "$input" -o "$out/map.zem" --quiet
t1=$(date +%s.%N)
mkgmap --output-dir="$out/img" --mapname=63240001 "$input" >/dev/null 2>&1
t2=$(date +%s.%N)
zem=$(stat -c %s "$out/map.zem")
img=$(stat -c %s "$out/img/63240001.img")
awk -v a="$t0" -v b="$t1" -v c="$t2" -v z="$zem" -v i="$img" 'BEGIN {
  printf "mapc:   %.2f s, %d bytes\nmkgmap: %.2f s, %d bytes\n", b - a, z, c - b, i
  printf "time ratio mkgmap/mapc %.1f, size ratio img/zem %.2f\n", (c - b) / (b - a), i / z }'
