#!/usr/bin/env bash
# Times `umbrawash render` against FFmpeg's own negate path on the same 1080p H.264 input,
# with the same encoder settings, several runs each, and prints the median time ratio
# (umbrawash / ffmpeg; 1.0 or less means rendering through the plug-in is no slower). The
# render runs in one process (--jobs 1); bench/segments.sh times it in several.
#
#   bench/render_vs_ffmpeg.sh [FRAMES] [RUNS]      defaults: 300 frames, 3 runs
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
frames=${1:-300}
runs=${2:-3}
umbrawash="$root/build/umbrawash"
[ -x "$umbrawash" ] || "$root/scripts/setup.sh"

work=$(mktemp -d /tmp/umbrawash-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
echo "making a 1920x1080 H.264 input of $frames frames"
ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=s=1920x1080:r=30000/1001" -frames:v "$frames" \
    -c:v libx264 -crf 18 -pix_fmt yuv420p "$work/in.mp4"

seconds() { # runs the command, prints its wall time in seconds
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    awk -v s="$start" -v e="$end" 'BEGIN {print e - s}'
}

median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

compare() { # name, umbrawash args, ffmpeg output args
    local name=$1 ours=$2 theirs=$3 u=() f=()
    for ((i = 0; i < runs; i++)); do
        # shellcheck disable=SC2086
        u+=("$(seconds "$umbrawash" render "$work/in.mp4" $ours --jobs 1 --quiet)")
        # shellcheck disable=SC2086
        f+=("$(seconds ffmpeg -nostdin -v error -y -i "$work/in.mp4" -vf format=argb,negate $theirs)")
    done
    local mu mf
    mu=$(median "${u[@]}")
    mf=$(median "${f[@]}")
    awk -v n="$name" -v u="$mu" -v f="$mf" -v k="$frames" 'BEGIN {
        printf "%-6s umbrawash %6.2f s (%5.1f fps)   ffmpeg %6.2f s (%5.1f fps)   median ratio %.3f\n",
               n, u, k / u, f, k / f, u / f }'
}

echo "$runs runs each, $frames frames of 1920x1080"
compare "H.264" "$work/ours.mp4 --crf 18" "-an -c:v libx264 -crf 18 -pix_fmt yuv420p $work/theirs.mp4"
compare "FFV1" "$work/ours.mkv --lossless" "-an -c:v ffv1 -pix_fmt bgra $work/theirs.mkv"
