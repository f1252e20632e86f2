#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the unit and window tests, then the fuzzer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
ctest --test-dir build --output-on-failure -j "$(nproc)"
if [ -f scripts/fuzz.sh ]; then bash scripts/fuzz.sh; fi
