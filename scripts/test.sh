#!/usr/bin/env bash
# Builds Umbrawash twice, normally and with AddressSanitizer + UndefinedBehaviorSanitizer,
# and runs the whole test suite in each build. Installs missing packages first.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc)

echo "== normal build"
"$root/scripts/setup.sh"
ctest --test-dir "$root/build" --output-on-failure -j"$jobs"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
"$root/scripts/setup.sh" --asan
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$root/scripts/lsan-suppressions.txt
ctest --test-dir "$root/build-asan" --output-on-failure -j"$jobs"

echo "== fuzzing the resource-file reader and ReadConfig, the image importer, the window descriptions and the plug-in driven by a host (15 s each: the seed corpus, then mutations; clang, libFuzzer)"
"$root/scripts/fuzz.sh" 15
echo "== all builds, tests and fuzz runs passed in $((SECONDS / 60)) min $((SECONDS % 60)) s"
