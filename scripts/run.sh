#!/usr/bin/env bash
# Installs what is missing, builds Quenlet and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target quenlet
exec build/bin/quenlet
