#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the unit and window tests, an install into a
# scratch prefix with its desktop entry checked by desktop-file-validate, the same tests again built with
# AddressSanitizer and UndefinedBehaviorSanitizer, one Open and Save through the window under valgrind's memcheck,
# then the fuzzer. Any sanitizer or memcheck report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
ctest --test-dir build --output-on-failure -j "$jobs"

# The install: every file where a desktop finds it, and a desktop entry that the desktop's own checker accepts.
prefix=$(mktemp -d)
cmake --install build --prefix "$prefix" >/dev/null
for f in bin/quenlet share/quenlet/icon.png share/applications/quenlet.desktop \
  share/icons/hicolor/128x128/apps/quenlet.png; do
  [ -f "$prefix/$f" ] || { echo "the install lacks $f" >&2; exit 1; }
done
[ -x "$prefix/bin/quenlet" ] || { echo "the installed program is not executable" >&2; exit 1; }
desktop-file-validate "$prefix/share/applications/quenlet.desktop"
rm -rf "$prefix"
echo "install check passed"

# The whole suite again under the sanitizers; the first report of either stops the test that made it.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUENLET_SANITIZE=ON
cmake --build build-asan
ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1 \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

bash scripts/memcheck.sh build

if [ -f scripts/fuzz.sh ]; then bash scripts/fuzz.sh; fi
