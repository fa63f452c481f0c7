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
. "$here/scripts/xvfb-display.sh"
need_tools 1 Xvfb openbox
build_screens_driver

status=0
for size in 1366x768 1024x768; do
    out=$here/docs/screens/$size
    mkdir -p "$out"
    rm -f "$out"/*.png
    start_display "$size"
    TOLVAN_SCREEN_SHOTS="$out" on_display "$build/tests/app_guide_screens" \
        --gtest_filter='*EveryScreenOnTheDisplay' || status=1
    stop_display
    ls "$out"/*.png
done
exit $status
