#!/usr/bin/env bash
# Sets everything up, builds what the main job needs (the `kestrin` program and the
# plug-in it loads; no tests, no benchmarks) and runs it: renders the built-in demo
# phrase through the Kestrin 3 Audio Unit and says where the file is. Extra
# arguments go to `kestrin render` (for example an input file); without any, the
# demo goes to build/kestrin-demo.wav rather than into the repository.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh release --target kestrin
if [ $# -eq 0 ]; then
  set -- -o build/kestrin-demo.wav
fi
exec build/tools/kestrin/kestrin render "$@"
