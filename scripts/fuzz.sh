#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while.
# Usage: scripts/fuzz.sh [SECONDS_EACH] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"
shift || true
bash scripts/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" --target velka_fuzzers
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(find build/fuzz/bin -maxdepth 1 -type f -name 'fuzz_*' -executable -printf '%f\n' | sort)
fi
status=0
for t in "${targets[@]}"; do
  corpus="build/fuzz/corpus/$t"
  artifacts="build/fuzz/artifacts/$t/"
  mkdir -p "$corpus" "$artifacts"
  dirs=("$corpus")
  [ -d "fuzz/seeds/${t#fuzz_}" ] && dirs+=("fuzz/seeds/${t#fuzz_}")
  log="build/fuzz/$t.log"
  if "build/fuzz/bin/$t" -max_total_time="$seconds" -print_final_stats=1 \
       -artifact_prefix="$artifacts" "${dirs[@]}" >"$log" 2>&1; then
    echo "fuzz: $t clean, $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$') runs in ${seconds}s"
  else
    echo "fuzz: $t FAILED (see $log)"; tail -n 40 "$log"; status=1
  fi
done
exit $status
