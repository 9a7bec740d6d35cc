#!/usr/bin/env bash
# Times `umbrawash render` against FFmpeg's own negate path on the same 1080p H.264 input,
# with the same encoder settings, several runs each, the runs alternating, and prints the
# median ratios of wall time and of CPU time (user + system) (umbrawash / ffmpeg; 1.0 or
# less means rendering through the plug-in is no slower). FFmpeg takes its fastest path to
# each encoder: YUV to ARGB and back for H.264, YUV to BGRA, the encoder's format, for FFV1. The
# render runs in one process (--jobs 1); bench/segments.sh times it in several. Each codec's
# second line splits the wall time into the start-up (a one-frame render: opening the input,
# the plug-in and the encoder, the output's check) and the time of each further frame, which
# tells a fixed cost from a per-frame one. Single runs on a shared machine vary by several per
# cent: the fastest and slowest run of each command are printed too.
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

times() { # runs the command, prints its wall time and CPU time in seconds
    local TIMEFORMAT='%R %U %S' t
    t=$({ time "$@" >/dev/null 2>&1; } 2>&1)
    awk -v t="$t" 'BEGIN {split(t, a, " "); print a[1], a[2] + a[3]}'
}

median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

compare() { # name, umbrawash args, ffmpeg filters and output args
    local name=$1 ours=$2 theirs=$3 uw=() uc=() fw=() fc=() u1=() f1=() t
    for ((i = 0; i < runs; i++)); do
        # shellcheck disable=SC2086
        read -ra t <<<"$(times "$umbrawash" render "$work/in.mp4" $ours --jobs 1 --quiet)"
        uw+=("${t[0]}") uc+=("${t[1]}")
        # shellcheck disable=SC2086
        read -ra t <<<"$(times ffmpeg -nostdin -v error -y -i "$work/in.mp4" $theirs)"
        fw+=("${t[0]}") fc+=("${t[1]}")
        # shellcheck disable=SC2086
        read -ra t <<<"$(times "$umbrawash" render "$work/in.mp4" $ours --jobs 1 --quiet --frames 1)"
        u1+=("${t[0]}")
        # shellcheck disable=SC2086
        read -ra t <<<"$(times ffmpeg -nostdin -v error -y -i "$work/in.mp4" -frames:v 1 $theirs)"
        f1+=("${t[0]}")
    done
    awk -v n="$name" -v uw="$(median "${uw[@]}")" -v fw="$(median "${fw[@]}")" -v uc="$(median "${uc[@]}")" \
        -v fc="$(median "${fc[@]}")" -v k="$frames" -v u1="$(median "${u1[@]}")" -v f1="$(median "${f1[@]}")" \
        -v uall="${uw[*]}" -v fall="${fw[*]}" 'BEGIN {
        printf "%-6s wall: umbrawash %6.2f s, ffmpeg %6.2f s, ratio %.3f   CPU: %6.2f s, %6.2f s, ratio %.3f (%+.1f ms/frame)\n",
               n, uw, fw, uw / fw, uc, fc, uc / fc, (uc - fc) * 1000 / k
        nu = split(uall, us, " "); split(fall, fs, " ")
        umin = umax = us[1]; fmin = fmax = fs[1]
        for (i = 2; i <= nu; i++) {
            if (us[i] < umin) umin = us[i]; if (us[i] > umax) umax = us[i]
            if (fs[i] < fmin) fmin = fs[i]; if (fs[i] > fmax) fmax = fs[i]
        }
        pu = (uw - u1) * 1000 / (k - 1); pf = (fw - f1) * 1000 / (k - 1)
        printf "       start-up %.2f s, %.2f s; each further frame %.1f ms, %.1f ms, ratio %.3f; runs: %.2f-%.2f s, %.2f-%.2f s\n",
               u1, f1, pu, pf, pu / pf, umin, umax, fmin, fmax }'
}

echo "$runs runs each, $frames frames of 1920x1080, medians"
compare "H.264" "$work/ours.mp4 --crf 18" "-vf format=argb,negate,format=yuv420p -an -c:v libx264 -crf 18 $work/theirs.mp4"
compare "FFV1" "$work/ours.mkv --lossless" "-vf format=bgra,negate -an -c:v ffv1 $work/theirs.mkv"
