#!/usr/bin/env bash
# Builds the project and runs the benchmarks pinned to one core (CPU 0).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh"
taskset -c 0 "$root/build/render_bench" "$@"
