#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the tools need, when
# they are missing. Safe to run again: it does nothing when all are present.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  clang-14 libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libstb-dev libpng-dev ttf-bitstream-vera
  libsndfile1-dev
  lv2-dev liblilv-dev lilv-utils sordi
  jackd2 libjack-jackd2-dev jalv xvfb
  libx11-dev libxext-dev libxtst-dev
  ardour libxfixes-dev
  sox ffmpeg
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
