#!/usr/bin/env bash
# Installs the Debian packages that building and testing Velka need, when
# they are missing. Safe to run again: it installs only what is absent.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  qt6-base-dev libicu-dev libsqlite3-dev
  libosmium2-dev libprotozero-dev zlib1g-dev libexpat1-dev libbz2-dev
  libasound2-dev nlohmann-json3-dev libpugixml-dev
  # run time: the SVG image and icon plugins of Qt (the application icon)
  libqt6svg6
  # tests, benchmarks and the include check
  libgtest-dev libgmock-dev libbenchmark-dev python3
  # peers used as test oracles, pseudo-terminals, a display for screenshots
  gpsbabel gpsd-clients libgeographiclib-dev socat xvfb xauth
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
