#!/usr/bin/env bash
# Configures and builds one configuration.
#   scripts/build.sh [release|asan|tsan] [extra cmake --build args...]
# release: g++, optimised, in build/; asan: clang with AddressSanitizer and
# UndefinedBehaviorSanitizer, in build-asan/; tsan: clang with ThreadSanitizer,
# in build-tsan/.
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
  *)
    echo "unknown configuration: $config (release, asan or tsan)" >&2
    exit 2
    ;;
esac

cmake -S . -B "$dir" -G Ninja "${args[@]}" >/dev/null
cmake --build "$dir" -j "$jobs" "$@"
