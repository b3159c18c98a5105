#!/usr/bin/env bash
# Builds Velka and runs every test. Usage: scripts/test.sh [release|debug|asan]
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-release}"
bash scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"
ctest --preset "$preset"
