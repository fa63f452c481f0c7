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
# Xvfb picks a free display itself and writes its number.
Xvfb -displayfd 3 -screen 0 1366x768x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.05; done
[ -s "$fdfile" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(tr -d '[:space:]' < "$fdfile")"
openbox >/dev/null 2>&1 &
wm=$!
sleep 0.5

rm -f "$out"/guide-*.png
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0} QT_QPA_PLATFORM=xcb LANG=C.UTF-8 TOLVAN_GUIDE_SHOTS="$out" \
    "$build/tests/app_guide_screens"
ls "$out"/guide-*.png
