#!/usr/bin/env bash
# Runs window_demo twice with the same input: headless from a script, and in a real window
# under Xvfb driven by xdotool. Both runs must leave the same picture.
#   sdl_demo_test.sh WINDOW_DEMO SCRIPT WORKDIR
#   sdl_demo_test.sh --drive WINDOW_DEMO OUT   (inside the X server)
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../../support/xdrive.sh"

# Inside the X server: start the demo, wait for its window, give it the script's input.
drive() {
    local demo=$1 out=$2
    "$demo" --windows "$out" &
    local pid=$!
    xdrive_window "^Every control$"
    drag 125 41 165 41
    click 110 72
    click 40 103
    click 40 159
    click 190 137
    xdotool type --delay 50 xyz; sleep 0.1
    drag 260 70 300 90
    xdotool key Return
    wait "$pid"
}

if [ "$1" = --drive ]; then
    drive "$2" "$3"
    exit
fi

demo=$1 script=$2 work=$3
mkdir -p "$work"
rm -f "$work"/headless.png "$work"/windows.png
timeout 60 "$demo" --script "$script" "$work/headless.png"
timeout 90 xvfb-run -a -s "-screen 0 1024x768x24" "$0" --drive "$demo" "$work/windows.png"

if ! cmp -s "$work/headless.png" "$work/windows.png"; then
    echo "sdl_demo_test: the real window and the headless run differ ($work)" >&2
    exit 1
fi
echo "sdl_demo_test: same picture both ways"
