#!/usr/bin/env bash
# Runs the image importer's tests and renders of tiny frames with Electric Fence preloaded,
# which puts every heap block against an inaccessible page. The FFmpeg libraries are not built
# with the sanitizers, so this is what shows their vector code writing or reading past the end
# of a buffer we hand them: the process dies on the first byte outside.
#   guard_pages_test.sh FILE_TESTS UMBRAWASH WORKDIR
set -euo pipefail

file_tests=$1 umbrawash=$2 work=$3
efence=/usr/lib/libefence.so
[ -e "$efence" ] || { echo "guard_pages_test: $efence is missing (package electric-fence)" >&2; exit 1; }
rm -rf "$work"
mkdir -p "$work/config"
export XDG_CONFIG_HOME="$work/config"

guarded() {
    EF_PROTECT_FREE=1 EF_ALLOW_MALLOC_0=1 LD_PRELOAD=$efence "$@" 2> >(grep -v "Electric Fence" >&2)
}

guarded "$file_tests" --gtest_filter='ImageImport.*' --gtest_brief=1

ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=64x48:rate=10 -f lavfi -i sine=sample_rate=44100 \
    -frames:v 3 -shortest -pix_fmt yuv420p -c:v libx264 -c:a aac "$work/in.mp4"
# In one process: the buffers are the same in segments, whose processes each cost a start.
for size in 2x2 6x4 18x6; do
    guarded "$umbrawash" render "$work/in.mp4" "$work/out.mp4" --size "$size" --fade-in 2 --jobs 1 --quiet
    guarded "$umbrawash" render "$work/in.mp4" "$work/out.mkv" --lossless --size "$size" --jobs 1 --quiet
    guarded "$umbrawash" render "$work/in.mp4" "$work/out_%02d.png" --size "$size" --quiet
done
# Once in segments, whose join encodes the clip's audio.
guarded "$umbrawash" render "$work/in.mp4" "$work/out.mp4" --size 18x6 --jobs 2 --quiet
echo "guard_pages_test: no access outside a buffer"
