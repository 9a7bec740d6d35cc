#!/usr/bin/env bash
# Runs `umbrawash configure` in a real window under Xvfb, drives it with the mouse through
# xdotool (the green slider to 0, the rectangle's bottom-right corner to the middle, OK),
# and checks that the saved configuration holds the edits.
#   configure_window_test.sh UMBRAWASH WORKDIR
#   configure_window_test.sh --drive UMBRAWASH   (inside the X server)
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../support/xdrive.sh"

drive() {
    local umbrawash=$1
    "$umbrawash" configure --frames 30 &
    local pid=$!
    xdrive_window "^Umbrawash \(NTSC\)$"
    drag 1000 134 764 134   # green amount to 0 %
    drag 736 496 376 256    # bottom-right corner to the middle of the preview
    xdotool key Return
    wait "$pid"
}

if [ "$1" = --drive ]; then
    drive "$2"
    exit
fi

umbrawash=$1 work=$2
rm -rf "$work"
mkdir -p "$work/config"
export XDG_CONFIG_HOME="$work/config"
unset DISPLAY WAYLAND_DISPLAY
timeout 90 xvfb-run -a -s "-screen 0 1280x800x24" "$0" --drive "$umbrawash"
settings=$("$umbrawash" settings show --json)
echo "$settings"
python3 - "$settings" <<'PY'
import json, sys
s = json.loads(sys.argv[1])
assert s["saved"] and s["green"] == 0 and s["red"] == 100, s
assert abs(s["rect"]["right"] - 0.5) < 1e-9 and abs(s["rect"]["bottom"] - 0.5) < 1e-9, s["rect"]
print("configure_window_test: the real window's edits were saved")
PY
