#!/usr/bin/env bash
# Sets everything up and runs the whole test suite three times: an optimised g++
# build, a clang build under AddressSanitizer and UndefinedBehaviorSanitizer, and a
# clang build under ThreadSanitizer.
#   scripts/test.sh            both configurations
#   scripts/test.sh release    only one of release, asan, tsan
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

configs=("$@")
if [ ${#configs[@]} -eq 0 ]; then
  configs=(release asan tsan)
fi

jobs=$(nproc)
for config in "${configs[@]}"; do
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
