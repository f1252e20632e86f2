#!/usr/bin/env bash
# Installs what is missing, builds the benchmark in the normal build folder and runs it on the offscreen platform.
# It prints each measure beside its floor and ends with the table of medians and ratios that the README keeps.
# Extra arguments go to the benchmark, e.g. --benchmark_filter=Open. Run it on a quiet machine: the Save floor is a
# disk sync, and other work on the disk moves it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target quenlet_bench
QT_QPA_PLATFORM=offscreen exec build/bin/quenlet_bench --benchmark_color=false "$@"
