#!/usr/bin/env bash
# Starts the program in a real window on its own Xvfb display (with openbox),
# takes a screenshot of the entry screen and, after Alt+E, of the restricted
# main menu. The program runs from a copy in a temporary folder, so its store
# files land there and not beside the build folder.
#   scripts/screenshot-entry.sh [build-folder] [output-folder]
set -euo pipefail
build=${1:-build}
out=${2:-docs}
for tool in Xvfb openbox xwd convert xdotool; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done

display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
work=$(mktemp -d)
cleanup() {
    kill "${app:-}" "${wm:-}" "${xvfb:-}" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb ":$display" -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=":$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
wm=$!
sleep 0.5

mkdir -p "$work/prog"
cp "$build/tolvan-pm" "$work/prog/"
# Silent: the switch file says sound off.
printf '0\r\n' > "$work/prog/soundsettings.dat"
(cd "$work" && QT_QPA_PLATFORM=xcb exec "$work/prog/tolvan-pm") &
app=$!

shot() {
    xwd -root -silent | convert xwd:- "$1"
    echo "wrote $1"
}
for _ in $(seq 50); do xdotool search --name "TOLVAN PACKET MESSAGING PROGRAM" >/dev/null 2>&1 && break; sleep 0.1; done
sleep 1
mkdir -p "$out"
shot "$out/ENTER.png"
xdotool key alt+e
sleep 1
shot "$out/mainmenu-restricted.png"
kill -0 "$app" 2>/dev/null || { echo "the program ended unexpectedly" >&2; exit 1; }
