#!/usr/bin/env bash
# Builds the release configuration and the Debian package (CPack); prints
# the path of the .deb. Install it with: sudo apt install ./velka_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake --preset release "${launcher[@]}" >/dev/null
cmake --build --preset release --target velka velkatool velka_desktop_files velka_man_pages velka_runtime_data
out="$(realpath -m "${1:-build/release/package}")"
mkdir -p "$out"
(cd build/release && cpack -G DEB -B "$out" >/dev/null)
rm -rf "$out/_CPack_Packages"
ls "$out"/velka_*.deb
