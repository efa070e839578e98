#!/usr/bin/env bash
# Sets everything up, builds, and runs the main job: renders the built-in demo phrase
# through the Kestrin 3 Audio Unit with the command-line host and says where the
# file is. Extra arguments go to `kestrin render` (for example an input file).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh release
exec build/tools/kestrin/kestrin render "$@"
