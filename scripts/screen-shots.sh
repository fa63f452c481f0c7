#!/usr/bin/env bash
# Pictures every screen alone on a display of each common laptop size, to see
# that nothing is cut off or overlaps:
#
#   scripts/screen-shots.sh [build-folder]
#
# For each size it starts a private Xvfb display with openbox, opens every
# screen in a real window with a sample station (temporary station folder and
# home, nothing of yours is touched) and writes docs/screens/<size>/<screen>.png.
# The run fails when a screen does not fit the display. Needs Xvfb and openbox.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
for tool in Xvfb openbox; do
    command -v "$tool" >/dev/null || { echo "missing: $tool (apt-get install xvfb openbox)" >&2; exit 1; }
done
[ -f "$build/CMakeCache.txt" ] || cmake -S "$here" -B "$build" -G Ninja
cmake --build "$build" --target app_guide_screens

fdfile=$(mktemp)
cleanup() {
    kill "${wm:-}" "${xvfb:-}" 2>/dev/null || true
    rm -f "$fdfile"
}
trap cleanup EXIT

. "$here/scripts/xvfb-display.sh"
status=0
for size in 1366x768 1024x768; do
    out=$here/docs/screens/$size
    mkdir -p "$out"
    rm -f "$out"/*.png
    start_display "$size"
    ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0} QT_QPA_PLATFORM=xcb LANG=C.UTF-8 TOLVAN_SCREEN_SHOTS="$out" \
        "$build/tests/app_guide_screens" --gtest_filter='*EveryScreenOnTheDisplay' || status=1
    kill "$wm" "$xvfb" 2>/dev/null || true
    wait "$wm" "$xvfb" 2>/dev/null || true
    wm= xvfb=
    ls "$out"/*.png
done
exit $status
