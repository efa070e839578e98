#!/usr/bin/env bash
# Configures and builds one configuration.
#   scripts/build.sh [release|asan|tsan|fuzz] [extra cmake --build args...]
# release: g++, optimised, in build/; asan: clang with AddressSanitizer and
# UndefinedBehaviorSanitizer, in build-asan/; tsan: clang with ThreadSanitizer,
# in build-tsan/; fuzz: the libFuzzer targets of fuzz/ and what they load, under
# AddressSanitizer and UndefinedBehaviorSanitizer, in build-fuzz/ (no tests, no
# benchmarks; it builds the `fuzzers` target unless told otherwise).
set -euo pipefail
cd "$(dirname "$0")/.."

config=${1:-release}
shift || true
jobs=$(nproc)

case "$config" in
  release)
    dir=build
    args=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++)
    ;;
  asan)
    dir=build-asan
    args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14
          "-DKESTRIN_SANITIZE=address,undefined" -DKESTRIN_BUILD_BENCHMARKS=OFF)
    ;;
  tsan)
    dir=build-tsan
    args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14
          -DKESTRIN_SANITIZE=thread -DKESTRIN_BUILD_BENCHMARKS=OFF)
    ;;
  fuzz)
    dir=build-fuzz
    args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14
          "-DKESTRIN_SANITIZE=address,undefined" -DKESTRIN_BUILD_FUZZERS=ON
          -DKESTRIN_BUILD_TESTS=OFF -DKESTRIN_BUILD_BENCHMARKS=OFF)
    if [ $# -eq 0 ]; then
      set -- --target fuzzers
    fi
    ;;
  *)
    echo "unknown configuration: $config (release, asan, tsan or fuzz)" >&2
    exit 2
    ;;
esac

cmake -S . -B "$dir" -G Ninja "${args[@]}" >/dev/null
cmake --build "$dir" -j "$jobs" "$@"
