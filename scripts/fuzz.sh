#!/usr/bin/env bash
# Fuzzes the tag reader for about a minute: builds the libFuzzer target with clang (build-fuzz), seeds it with
# tests/fixtures and with files made by the tests' SPC builder, and fails on any finding: a crash, a sanitizer
# report, an input slower than the timeout or one that needs more memory than the limit. Every finding is copied
# into tests/fixtures/fuzz-regressions/, which core_tests replays through the reader.
#
#   scripts/fuzz.sh [seconds]      (default 60)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
regressions=$root/tests/fixtures/fuzz-regressions
seconds=${1:-60}

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DQUENLET_FUZZ_ONLY=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target fuzz_reader make_seeds

work=$(mktemp -d "${TMPDIR:-/tmp}/quenlet-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$work/seeds" "$work/findings" "$regressions"
find "$root/tests/fixtures" -type f ! -name '*.md' -exec cp {} "$work/seeds/" \;
"$build/bin/make_seeds" "$work/seeds"

# A whole file with its chunk is some 66 KB; leave room for the fuzzer to grow the chunk past the reader's bound on
# the number of items (4,096 items of 4 bytes end at 82,440 bytes). The reader never needs more than a small
# multiple of the file: one allocation above 32 MB, or 1 GB in all, is a finding, and so is an input that takes a
# second (a healthy one takes a few milliseconds under the sanitizers).
status=0
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:quarantine_size_mb=64 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  "$build/bin/fuzz_reader" \
  -max_total_time="$seconds" -timeout=1 -rss_limit_mb=1024 -malloc_limit_mb=32 -max_len=90000 \
  -artifact_prefix="$work/findings/" -print_final_stats=1 \
  "$work/corpus" "$work/seeds" || status=$?

found=0
for finding in "$work/findings"/*; do
  [ -e "$finding" ] || continue
  name=$(basename "$finding")
  cp "$finding" "$regressions/$name"
  echo "finding kept as tests/fixtures/fuzz-regressions/$name"
  found=$((found + 1))
done

if [ "$status" -ne 0 ] || [ "$found" -ne 0 ]; then
  echo "fuzz: FAILED (exit $status, $found finding(s))" >&2
  exit 1
fi
echo "fuzz: no finding in ${seconds}s"
