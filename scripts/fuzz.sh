#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer + AddressSanitizer) into build-fuzz/ and runs
# each for a fixed time over a copy of its committed seed corpus. Any finding fails.
#
#   scripts/fuzz.sh [SECONDS]   each target for SECONDS (default 60)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-60}
build_dir="$root/build-fuzz"

cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
    -DUMBRAWASH_FUZZ=ON -DUMBRAWASH_TESTS=OFF -DUMBRAWASH_BENCH=OFF >/dev/null
cmake --build "$build_dir" -j"$(nproc)" --target fuzz_resource_file fuzz_image_decode \
    fuzz_window_description fuzz_host_sequence

# run_target NAME CORPUS SECONDS [LIBFUZZER OPTIONS...]
run_target() {
    local name=$1 corpus=$2 time=$3
    shift 3
    local run_dir="$root/fuzz/corpus-run/$corpus"
    rm -rf "$run_dir"
    mkdir -p "$run_dir"
    cp "$root"/fuzz/corpus/"$corpus"/* "$run_dir"/
    (cd "$build_dir" && ASAN_OPTIONS=detect_leaks=1 "$build_dir/fuzz/$name" -max_total_time="$time" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 "$@" "$run_dir" "$root/fuzz/corpus/$corpus")
}

run_target fuzz_resource_file resourcefile "$seconds"
# Whole images stay whole (no shrinking to inputs with the same coverage), and mutations use
# the formats' markers, so that they reach the decoders and the scaler behind our code.
run_target fuzz_image_decode image "$seconds" -reduce_inputs=0 -dict="$root/fuzz/image.dict"
run_target fuzz_window_description windowdescription "$seconds"
run_target fuzz_host_sequence hostsequence "$seconds"
