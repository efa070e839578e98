#!/usr/bin/env bash
# Sets everything up and runs the whole test suite three times: an optimised g++
# build, a clang build under AddressSanitizer and UndefinedBehaviorSanitizer, and a
# clang build under ThreadSanitizer; then every fuzz target for a short fixed time.
#   scripts/test.sh            every configuration
#   scripts/test.sh release    only one of release, asan, tsan, fuzz
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

configs=("$@")
if [ ${#configs[@]} -eq 0 ]; then
  configs=(release asan tsan fuzz)
fi
# Seconds each fuzz target runs here; scripts/fuzz.sh runs them for longer.
fuzz_seconds=15

jobs=$(nproc)
for config in "${configs[@]}"; do
  if [ "$config" = fuzz ]; then
    echo "== fuzz: build and run each target for $fuzz_seconds s"
    scripts/fuzz.sh all "$fuzz_seconds"
    continue
  fi
  echo "== $config: build"
  scripts/build.sh "$config"
  case "$config" in
    release) dir=build ;;
    asan) dir=build-asan ;;
    tsan) dir=build-tsan ;;
  esac
  echo "== $config: test"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/scripts/tsan-suppressions.txt" \
    ctest --test-dir "$dir" --output-on-failure -j "$jobs"
done
echo "All tests passed."
