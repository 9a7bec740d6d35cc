# Sourced by the tests that drive a real window under Xvfb with xdotool.
#   xdrive_window TITLE_REGEX   waits (20 s at most) for the window, focuses it, sets $wid
#   at H V                      moves the mouse to (H, V) in the window
#   drag H1 V1 H2 V2            presses at the first point and releases at the second
#   click H V                   clicks at (H, V)

xdrive_window() {
    wid=$(timeout 20 xdotool search --sync --name "$1" | head -n1)
    xdotool windowfocus --sync "$wid" || true
    sleep 0.3
}
at() { xdotool mousemove --window "$wid" "$1" "$2"; sleep 0.05; }
drag() {
    at "$1" "$2"; xdotool mousedown 1; sleep 0.05
    for i in 1 2 3 4; do at $(( $1 + ($3 - $1) * i / 4 )) $(( $2 + ($4 - $2) * i / 4 )); done
    xdotool mouseup 1; sleep 0.1
}
click() { at "$1" "$2"; xdotool click 1; sleep 0.15; }
