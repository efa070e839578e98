#!/usr/bin/env bash
# Sets everything up, builds, and runs the main job.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh release
if [ -x build/tools/kestrin ]; then
  exec build/tools/kestrin render
elif [ -x build/tools/kestrin-params ]; then
  exec build/tools/kestrin-params
else
  echo "Built. The command-line host is not part of this build yet."
fi
