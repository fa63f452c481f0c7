#!/usr/bin/env bash
# Regenerates every screenshot that docs/guide.md shows, in one command:
#
#   scripts/guide-screenshots.sh [build-folder]
#
# It builds the screenshot driver (tests/app/GuideScreens.cpp), starts a
# private Xvfb display with openbox, opens each screen in a real window with a
# sample station (temporary station folder and home, nothing of yours is
# touched) and writes docs/guide-*.png. Needs Xvfb and openbox.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
out=$here/docs
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
start_display 1366x768

rm -f "$out"/guide-*.png
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0} QT_QPA_PLATFORM=xcb LANG=C.UTF-8 TOLVAN_GUIDE_SHOTS="$out" \
    "$build/tests/app_guide_screens"
ls "$out"/guide-*.png
