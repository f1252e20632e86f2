#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build, the tests and the fuzzer need and the machine lacks.
set -euo pipefail
packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev
  libgtest-dev libbenchmark-dev libgme-dev
  clang libclang-rt-14-dev
  valgrind xvfb xauth
  desktop-file-utils
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
