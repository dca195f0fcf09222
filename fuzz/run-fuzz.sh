#!/usr/bin/env bash
# Builds the fuzz targets with clang, replays every seed corpus, then fuzzes each target in turn.
#   fuzz/run-fuzz.sh [build-dir] [seconds-per-target]      (defaults: build-fuzz 60)
# Inputs libFuzzer finds go to <build-dir>/fuzz-corpus/<target>, never into fuzz/corpus; a crash
# leaves its input in <build-dir>/fuzz-artifacts and makes the script fail.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-build-fuzz}"
seconds="${2:-60}"
targets=(intel_hex config_file eeprom_response settings_hive rtf)

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTOLA_FUZZ=ON -DTOLA_BUILD_GUI=OFF -DTOLA_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target fuzz_targets -j "${JOBS:-2}"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
mkdir -p "$build/fuzz-artifacts"

for t in "${targets[@]}"; do
  exe="$build/fuzz/fuzz_$t"
  seeds="$root/fuzz/corpus/$t"
  echo "== $t: replaying $(ls "$seeds" | wc -l) seeds"
  "$exe" -runs=0 "$seeds"
  if [ "$seconds" -gt 0 ]; then
    echo "== $t: fuzzing for $seconds s"
    mkdir -p "$build/fuzz-corpus/$t"
    "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$build/fuzz-artifacts/$t-" "$build/fuzz-corpus/$t" "$seeds"
  fi
done
