#!/usr/bin/env bash
# Re-route latency on a real map: for the first N pairs of a routes file,
# plan the route with velkatool guide, then drive it half way and leave it
# sideways for 250 m; the re-route's time ("ms" of the reroute line) and the
# lead of each prompt before its point are collected. Prints medians.
#   scripts/bench_reroute.sh MAP.zem PAIRS.jsonl [N]
set -euo pipefail
map=$1 pairs=$2 n=${3:-20}
vt=${VELKATOOL:-build/release/bin/velkatool}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
head -n "$n" "$pairs" | while read -r line; do
  from=$(python3 -c 'import json,sys; q=json.loads(sys.argv[1]); print("%s,%s" % (q["from_lat"], q["from_lon"]))' "$line")
  to=$(python3 -c 'import json,sys; q=json.loads(sys.argv[1]); print("%s,%s" % (q["to_lat"], q["to_lon"]))' "$line")
  "$vt" --settings-db "$tmp/s.db" guide "$map" --from "$from" --to "$to" --simulate 50 > "$tmp/sim.jsonl" 2>/dev/null || continue
  python3 - "$tmp/sim.jsonl" > "$tmp/off.gpx" <<'PY'
import json, math, sys, time
route = json.loads(open(sys.argv[1]).readline())["route"]
pts = [(p["lat"], p["lon"]) for p in route["points"]]
v = 50 / 3.6
def step(a, b, d):
    k = math.cos(math.radians(a[0]))
    return (a[0] + b[0] / 111195.0 * d, a[1] + b[1] / (111195.0 * k) * d)
out, carry, total = [], 0.0, route["length_m"]
walked = 0.0
for a, b in zip(pts, pts[1:]):
    k = math.cos(math.radians(a[0]))
    dy, dx = (b[0] - a[0]) * 111195.0, (b[1] - a[1]) * 111195.0 * k
    d = math.hypot(dx, dy)
    while carry <= d and walked + carry < total / 2:
        f = carry / d if d else 0
        out.append((a[0] + (b[0] - a[0]) * f, a[1] + (b[1] - a[1]) * f))
        carry += v
    if walked + carry >= total / 2:
        # Sideways, to the right of the leg, for 250 m.
        u = ((-dx / d, dy / d) if d else (1, 0))
        p = out[-1]
        for i in range(1, 19):
            out.append(step(p, u, v * i))
        break
    walked += d
    carry -= d
iso = lambda s: time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(s))
print('<?xml version="1.0"?><gpx version="1.1" creator="bench" xmlns="http://www.topografix.com/GPX/1/1"><trk><trkseg>')
for i, (la, lo) in enumerate(out):
    print(f'<trkpt lat="{la:.7f}" lon="{lo:.7f}"><time>{iso(1765000000 + i)}</time></trkpt>')
print('</trkseg></trk></gpx>')
PY
  "$vt" --settings-db "$tmp/s.db" guide "$map" --from "$from" --to "$to" --drive "$tmp/off.gpx" 2>/dev/null |
    python3 -c 'import json,sys
for l in sys.stdin:
    j = json.loads(l)
    if "reroute" in j: print("reroute", j["ms"], 1 if j["reroute"] else 0)' >> "$tmp/results" || true
  python3 -c 'import json,sys
for l in open(sys.argv[1]):
    j = json.loads(l)
    if "prompt" in j and "Pre" not in j["prompt"] and j["prompt"][0] not in ("RouteOut", "RouteCalculated"): print("lead", j["distance_m"])' "$tmp/sim.jsonl" >> "$tmp/results"
done
python3 - "$tmp/results" <<'PY'
import statistics, sys
rr = [float(l.split()[1]) for l in open(sys.argv[1]) if l.startswith("reroute")]
ok = sum(int(l.split()[2]) for l in open(sys.argv[1]) if l.startswith("reroute"))
leads = [float(l.split()[1]) for l in open(sys.argv[1]) if l.startswith("lead")]
if rr: print(f"re-routes: {len(rr)} ({ok} found), median {statistics.median(rr):.0f} ms, max {max(rr):.0f} ms")
if leads: print(f"immediate prompts: {len(leads)}, lead median {statistics.median(leads):.0f} m, min {min(leads):.0f} m at 50 km/h")
PY
