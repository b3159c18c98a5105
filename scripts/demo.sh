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
cp -rf "$bin/demo" "$app/"
if [ ! -f "$app/Demo.gdb" ] || [ "$bin/demo/demo_drive.csv" -nt "$app/Demo.gdb" ]; then
  tmp=$(mktemp -d)
  # demo_drive.csv holds "seconds,lon,lat" lines; recorded as the navigator
  # records a track, written as a MapSource database.
  awk -F, '{ printf "%s %s 0 %d\n", $3, $2, 1765000000 + $1 }' "$bin/demo/demo_drive.csv" |
    "$bin/velkatool" --settings-db "$tmp/settings.db" track record "$app/Demo.gdb" >/dev/null
  rm -rf "$tmp"
fi
# The track file earlier versions of this script left there.
rm -f "$app/Demo.mps"
exec "$app/velka" "$(realpath "$app/demo/demo.zem")"
