#!/usr/bin/env bash
# Installs the Debian packages Umbrawash needs when they are missing, then configures and
# builds the project.
#
#   scripts/setup.sh            normal build into build/
#   scripts/setup.sh --asan     AddressSanitizer + UndefinedBehaviorSanitizer build into build-asan/
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir="$root/build"
cmake_args=()
for arg in "$@"; do
    case "$arg" in
        --asan) build_dir="$root/build-asan"; cmake_args+=(-DUMBRAWASH_SANITIZE=ON -DUMBRAWASH_BENCH=OFF) ;;
        *) echo "usage: scripts/setup.sh [--asan]" >&2; exit 2 ;;
    esac
done

mapfile -t packages < <(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$root/scripts/packages.txt")
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "setup: installing ${missing[*]}"
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${cmake_args[@]}" >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
