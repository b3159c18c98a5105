#!/usr/bin/env bash
# The map compiler cutting an extract into an atlas of tiles (-j1 and -j2)
# against one whole-file compile: wall time and peak memory (the largest
# process of the run), then one frame of the atlas against one frame of the
# whole map at the same place and scale.
# Usage: bench/mapc_atlas.sh [EXTRACT.osm.pbf] [TILE-DEGREES] [LAT,LON] [SCALE]
set -euo pipefail
cd "$(dirname "$0")/.."
input="${1:-../shared/data/osm/liechtenstein-20150727.osm.pbf}"
tile="${2:-0.1}"
center="${3:-}"
scale="${4:-8}"
tool=build/release/bin/velkatool
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
measure() { # label, command...
  local label="$1"; shift
  /usr/bin/time -f "%e %M" -o "$out/time" "$@" >/dev/null 2>"$out/err" || { cat "$out/err"; exit 1; }
  read -r secs kb < "$out/time"
  printf "%-22s %6.2f s  %7.1f MB peak\n" "$label" "$secs" "$(echo "$kb / 1024" | bc -l)"
}
measure "mapc whole file" "$tool" mapc "$input" -o "$out/whole.zem" --quiet
measure "mapc --atlas -j1" "$tool" mapc "$input" --atlas "$out/atlas1" --tile-size "$tile" -j 1 --quiet
measure "mapc --atlas -j2" "$tool" mapc "$input" --atlas "$out/atlas2" --tile-size "$tile" -j 2 --quiet
echo "tiles: $(ls "$out/atlas2" | grep -c '\.zem$')"
if [ -z "$center" ]; then
  center=$("$tool" info "$out/whole.zem" | python3 -c "import json,sys; b=json.load(sys.stdin)['bounds']; print(str((b['south']+b['north'])/2)+','+str((b['west']+b['east'])/2))")
fi
frame() { # map
  local best=999999
  for _ in 1 2 3 4 5; do
    ms=$(QT_QPA_PLATFORM=offscreen "$tool" render "$1" --center "$center" --scale "$scale" --size 800x600 -o "$out/f.png" | sed -n 's/.*frame \([0-9]*\) ms.*/\1/p')
    [ "$ms" -lt "$best" ] && best=$ms
  done
  echo "$best"
}
w=$(frame "$out/whole.zem"); a=$(frame "$out/atlas2")
echo "frame at $center scale $scale: whole map ${w} ms, atlas ${a} ms (best of 5)"
