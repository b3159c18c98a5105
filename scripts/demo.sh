#!/usr/bin/env bash
# Builds Velka and starts the navigator on the bundled demo map, with the
# simulated drive. Extra arguments go to the navigator.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"
bin=build/release/bin
demo_map="$bin/demo/demo.zem"
if [ $# -eq 0 ] && [ -f "$demo_map" ]; then
  exec "$bin/velka" "$(realpath "$demo_map")"
fi
exec "$bin/velka" "$@"
