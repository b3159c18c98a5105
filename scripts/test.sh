#!/usr/bin/env bash
# Builds Velka and runs every test. Usage: scripts/test.sh [release|debug|asan]
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-release}"
bash scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"
# Under the sanitizers, leaks inside system libraries are not ours to fix.
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
ctest --preset "$preset"
