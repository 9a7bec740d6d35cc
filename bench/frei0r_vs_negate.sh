#!/usr/bin/env bash
# What the frei0r filter adds to a single-threaded FFmpeg run per 1080p frame, beside what
# FFmpeg's own negate adds, both over `format=rgba` alone, measured in one run: CPU time
# (user + system) of `ffmpeg -threads 1 -filter_threads 1 ... -f null -`, the fastest of
# several runs of each chain, the runs of the chains interleaved.
#
#   bench/frei0r_vs_negate.sh [FRAMES] [RUNS]      defaults: 100 frames, 5 runs
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
frames=${1:-100}
runs=${2:-5}
[ -f "$root/build/frei0r-1/umbrawash.so" ] || "$root/scripts/setup.sh"
export FREI0R_PATH="$root/build/frei0r-1"

work=$(mktemp -d /tmp/umbrawash-frei0r-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
# Raw frames, so that decoding costs next to nothing beside the filters.
ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=s=1920x1080:r=25" -frames:v "$frames" \
    -c:v rawvideo -pix_fmt yuv420p "$work/in.nut"

cpu_seconds() { # runs ffmpeg with the filter chain, prints its user + system CPU seconds
    local TIMEFORMAT='%U %S' t
    t=$({ time ffmpeg -nostdin -v error -threads 1 -filter_threads 1 -i "$work/in.nut" -vf "$1" \
        -f null - >/dev/null 2>&1; } 2>&1)
    awk -v t="$t" 'BEGIN {split(t, a, " "); print a[1] + a[2]}'
}

names=(base negate umbrawash-default umbrawash-30-60-90)
chains=("format=rgba" "format=rgba,negate"
    "format=rgba,frei0r=filter_name=umbrawash:filter_params=1|1|1|0|0|1|1|n"
    "format=rgba,frei0r=filter_name=umbrawash:filter_params=0.3|0.6|0.9|0|0|1|1|n")
declare -A best
for ((r = 0; r < runs; r++)); do
    for i in "${!chains[@]}"; do
        t=$(cpu_seconds "${chains[$i]}")
        best[$i]=$(awk -v a="${best[$i]:-1e9}" -v b="$t" 'BEGIN {print (b < a) ? b : a}')
    done
done

echo "$frames frames of 1920x1080, CPU time per frame, fastest of $runs runs"
awk -v t="${best[0]}" -v k="$frames" 'BEGIN {printf "%-22s %6.2f ms\n", "format=rgba alone", t * 1000 / k}'
for i in 1 2 3; do
    awk -v n="${names[$i]}" -v t="${best[$i]}" -v b="${best[0]}" -v neg="${best[1]}" -v k="$frames" 'BEGIN {
        printf "%-22s %6.2f ms added   (%.2f x what negate adds)\n", n, (t - b) * 1000 / k, (t - b) / (neg - b) }'
done
