#!/usr/bin/env bash
# Builds Velka and starts the navigator on the bundled demo map, with the
# simulated drive. Extra arguments go to the navigator instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target velka velkatool velka_demo_map velka_runtime_data
bin=build/release/bin
if [ $# -gt 0 ]; then
  exec "$bin/velka" "$@"
fi

# The demo runs from a folder of its own: the simulated drive lies beside
# the program there, so the navigator replays it instead of probing ports.
app=build/release/demo-app
mkdir -p "$app"
cp -f "$bin/velka" "$bin"/*.rll "$bin"/*.skin "$bin/velka.svg" "$app/"
cp -rf "$bin/wav" "$app/"
cp -rf "$bin/demo" "$app/"
if [ ! -f "$app/Demo.gdb" ] || [ "$bin/demo/demo.zem" -nt "$app/Demo.gdb" ] || [ "$bin/velkatool" -nt "$app/Demo.gdb" ]; then
  tmp=$(mktemp -d)
  # The drive follows a route computed on the demo town: from where the
  # town's round trip starts to its farthest point. velkatool guide plans
  # it; the simulated fixes run along it at 40 km/h, one a second. Demo.gdb
  # carries the route (the navigator plans and follows it) and the drive.
  from=$(awk -F, 'NR == 1 { print $3 "," $2 }' "$bin/demo/demo_drive.csv")
  to=$(awk -F, 'NR == 150 { print $3 "," $2 }' "$bin/demo/demo_drive.csv")
  "$bin/velkatool" --settings-db "$tmp/settings.db" guide "$bin/demo/demo.zem" \
      --from "$from" --to "$to" --avoid uturns,unpaved --simulate 40 > "$tmp/guide.jsonl"
  python3 - "$tmp/guide.jsonl" "$from" "$to" > "$tmp/demo.gpx" <<'PY'
import json, math, sys, time
route = next(json.loads(l)["route"] for l in open(sys.argv[1]) if l.startswith('{"route"'))
pts = [(p["lat"], p["lon"]) for p in route["points"]]
def dist(a, b):
    k = math.cos(math.radians(a[0]))
    return math.hypot((b[0] - a[0]) * 111195.0, (b[1] - a[1]) * 111195.0 * k)
v, t0, out, carry = 40 / 3.6, 1765000000, [], 0.0
for a, b in zip(pts, pts[1:]):
    d = dist(a, b)
    while carry <= d:
        f = carry / d if d else 0
        out.append((a[0] + (b[0] - a[0]) * f, a[1] + (b[1] - a[1]) * f))
        carry += v
    carry -= d
out.append(pts[-1])
iso = lambda s: time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(s))
(fa, fo), (ta, to) = (map(float, x.split(",")) for x in sys.argv[2:4])
print('<?xml version="1.0" encoding="UTF-8"?>')
print('<gpx version="1.1" creator="velka demo" xmlns="http://www.topografix.com/GPX/1/1">')
print(f'<rte><name>Demo</name><rtept lat="{fa}" lon="{fo}"><name>Start</name></rtept>'
      f'<rtept lat="{ta}" lon="{to}"><name>Finish</name></rtept></rte>')
print('<trk><name>Demo drive</name><trkseg>')
for i, (la, lo) in enumerate(out):
    print(f'<trkpt lat="{la:.7f}" lon="{lo:.7f}"><time>{iso(t0 + i)}</time></trkpt>')
print('</trkseg></trk></gpx>')
PY
  rm -f "$app/Demo.gdb"
  "$bin/velkatool" --settings-db "$tmp/settings.db" convert "$tmp/demo.gpx" "$app/Demo.gdb" >/dev/null
  rm -rf "$tmp"
fi
# The demo keeps its settings, waypoints and tracks in its own folder.
export XDG_CONFIG_HOME="$PWD/$app/config" XDG_STATE_HOME="$PWD/$app/state"
mkdir -p "$XDG_CONFIG_HOME"
echo "XDG_DOCUMENTS_DIR=\"$PWD/$app/documents\"" > "$XDG_CONFIG_HOME/user-dirs.dirs"
# The track file earlier versions of this script left there.
rm -f "$app/Demo.mps"
exec "$app/velka" "$(realpath "$app/demo/demo.zem")"
