#!/usr/bin/env bash
# Times a render in one process against the same render in N segment processes
# (`umbrawash render --jobs 1` and `--jobs N`), on the same 1080p H.264 input with sound,
# for the lossless path (FFV1) and the H.264 path, and prints their times and ratio. Then
# renders the pieces with --segment, N at a time, and times `umbrawash join` on them: the
# join's share of the whole render.
#
#   bench/segments.sh [FRAMES] [JOBS]      defaults: 300 frames, the number of cores
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
frames=${1:-300}
jobs=${2:-$(nproc)}
umbrawash="$root/build/umbrawash"
[ -x "$umbrawash" ] || "$root/scripts/setup.sh"

work=$(mktemp -d /tmp/umbrawash-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
echo "making a 1920x1080 H.264 input of $frames frames with a tone"
ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=s=1920x1080:r=30000/1001" -f lavfi -i "sine=f=440:r=48000" \
    -frames:v "$frames" -shortest -c:v libx264 -crf 18 -pix_fmt yuv420p -c:a aac "$work/in.mp4"

seconds() { # runs the command, prints its wall time and the CPU time of its processes, in seconds
    /usr/bin/time -f "%e %U %S" -o "$work/time" "$@" >/dev/null 2>"$work/errors" || {
        echo "failed: $*" >&2
        cat "$work/errors" >&2
        exit 1
    }
    awk '{print $1, $2 + $3}' "$work/time"
}

compare() { # name, extension, options
    local name=$1 ext=$2 options=$3 one many made joined
    # shellcheck disable=SC2086
    one=$(seconds "$umbrawash" render "$work/in.mp4" "$work/one$ext" --jobs 1 --quiet $options)
    # shellcheck disable=SC2086
    many=$(seconds "$umbrawash" render "$work/in.mp4" "$work/many$ext" --jobs "$jobs" --quiet $options)
    mkdir -p "$work/$name"
    # shellcheck disable=SC2086
    made=$(seq 1 "$jobs" | seconds xargs -P "$jobs" -I{} \
        "$umbrawash" render "$work/in.mp4" "$work/$name/{}.mkv" --segment "{}/$jobs" --quiet $options)
    joined=$(seconds "$umbrawash" join "$work/$name" "$work/joined$ext" --quiet)
    awk -v n="$name" -v o="$one" -v m="$many" -v j="$jobs" -v k="$frames" -v p="$made" -v q="$joined" 'BEGIN {
        split(o, O, " "); split(m, M, " "); split(p, P, " "); split(q, Q, " ")
        printf "%-6s --jobs 1 %7.2f s (%5.1f fps, %5.1f CPU s, %.1f cores busy)   --jobs %d %7.2f s (%5.1f fps, %5.1f CPU s)   speed-up %.2f\n",
               n, O[1], k / O[1], O[2], O[2] / O[1], j, M[1], k / M[1], M[2], O[1] / M[1]
        printf "%-6s pieces %7.2f s, join %5.2f s (%4.1f CPU s): the join is %.1f %% of the time, %.1f %% of the CPU time\n",
               "", P[1], Q[1], Q[2], 100 * Q[1] / (P[1] + Q[1]), 100 * Q[2] / (P[2] + Q[2]) }'
}

echo "$frames frames of 1920x1080 at 29.97 fps, $jobs segment processes, $(nproc) cores"
compare "FFV1" ".mkv" "--lossless"
compare "H.264" ".mp4" "--crf 18"
