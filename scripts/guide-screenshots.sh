#!/usr/bin/env bash
# Regenerates every screenshot that docs/guide.md shows, in one command:
#
#   scripts/guide-screenshots.sh [build-folder]
#
# It builds the screenshot driver (tests/app/GuideScreens.cpp), starts a
# private Xvfb display with openbox, opens each screen in a real window with a
# sample station (temporary station folder and home, nothing of yours is
# touched) and writes docs/guide-*.png; the terminal's window also at
# 1024x768 (docs/guide-terminal-*-1024.png). Needs Xvfb and openbox.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
out=$here/docs
. "$here/scripts/xvfb-display.sh"
need_tools 1 Xvfb openbox
build_screens_driver
start_display 1366x768

rm -f "$out"/guide-*.png
TOLVAN_GUIDE_SHOTS="$out" on_display "$build/tests/app_guide_screens"
# The terminal's window once more on a small display.
stop_display
start_display 1024x768
TOLVAN_GUIDE_SHOTS="$out" on_display "$build/tests/app_guide_screens" --gtest_filter='*TheTerminalWindow'
ls "$out"/guide-*.png
