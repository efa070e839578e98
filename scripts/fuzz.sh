#!/usr/bin/env bash
# Builds the fuzz configuration, writes the seed corpora and runs fuzz targets.
#   scripts/fuzz.sh                      every target for 15 s
#   scripts/fuzz.sh [target|all] [seconds]
# The targets are listed in fuzz/CMakeLists.txt. What a target finds stays in
# build-fuzz/corpus/<target>/ for the next run; a crash, a leak, a sanitizer report
# or a broken check is written to build-fuzz/crashes/<target>/ and fails the run.
# Reproduce one with: build-fuzz/fuzz/fuzz_<target> <file>
set -euo pipefail
cd "$(dirname "$0")/.."

which=${1:-all}
seconds=${2:-15}
dir=build-fuzz

scripts/build.sh fuzz
rm -rf "$dir/seeds"
"$dir/fuzz/kestrin_fuzz_seeds" "$dir/seeds"

if [ "$which" = all ]; then
  mapfile -t targets < "$dir/fuzz/targets.txt"
else
  targets=("$which")
fi

failed=0
for t in "${targets[@]}"; do
  if [ ! -x "$dir/fuzz/fuzz_$t" ]; then
    echo "no fuzz target named $t (see $dir/fuzz/targets.txt)" >&2
    exit 2
  fi
  mkdir -p "$dir/corpus/$t" "$dir/crashes/$t"
  dict=()
  case "$t" in
    plist|aupreset|classinfo) dict=("-dict=fuzz/plist.dict") ;;
  esac
  log="$dir/crashes/$t/last-run.log"
  start=$(date +%s)
  if ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
     "$dir/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=4096 -print_final_stats=1 \
       "${dict[@]}" -artifact_prefix="$dir/crashes/$t/" "$dir/corpus/$t" "$dir/seeds/$t" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz $t: ok, ${runs:-?} inputs in $(( $(date +%s) - start )) s"
  else
    echo "fuzz $t: FAILED (log: $log)"
    tail -n 60 "$log"
    failed=1
  fi
done
exit $failed
