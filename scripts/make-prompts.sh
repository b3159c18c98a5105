#!/usr/bin/env bash
# Generates the spoken prompts from data/prompts/manifest.tsv: each line
# becomes data/runtime/wav/NAME.wav (Russian) and data/runtime/wav/en/NAME.wav
# (English), 16 kHz mono 16-bit PCM, silence trimmed at both ends. The
# results are committed; building the program needs no speech engine.
#
# Needs (only to run this script): espeak-ng and sox, e.g.
#   apt-get install espeak-ng sox
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
manifest="$root/data/prompts/manifest.tsv"
out="$root/data/runtime/wav"
for tool in espeak-ng sox; do
  command -v "$tool" >/dev/null || { echo "make-prompts: $tool is missing" >&2; exit 2; }
done
mkdir -p "$out" "$out/en"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

say() { # voice text target
  espeak-ng -v "$1" -s 150 -w "$tmp/raw.wav" -- "$2"
  # Trim silence at the start and (reversed) at the end, then the format.
  sox "$tmp/raw.wav" -r 16000 -c 1 -b 16 -e signed-integer "$3" \
      silence 1 0.02 0.5% reverse silence 1 0.02 0.5% reverse
}

count=0
while IFS=$'\t' read -r name ru en; do
  case "$name" in ''|'#'*) continue ;; esac
  say ru "$ru" "$out/$name.wav"
  say en-us "$en" "$out/en/$name.wav"
  count=$((count + 1))
done < "$manifest"
echo "make-prompts: $count prompts in $out and $out/en"
[ "$count" -eq 27 ] || { echo "make-prompts: expected 27 prompts, made $count" >&2; exit 1; }
