#!/usr/bin/env bash
# Runs the setup walk-through (entry screen, directory screen, main menu,
# settings screen) in real windows on a private Xvfb display with openbox,
# driven by xdotool, and keeps the screenshots of the two setup screens.
# Exits 77 (skipped) when Xvfb, openbox or xdotool is missing.
#   scripts/setup-screens-xvfb.sh [test-binary] [screenshot-folder]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
binary=${1:-$here/build/tests/config_setup_xvfb_test}
out=${2:-$here/docs}
. "$here/scripts/xvfb-display.sh"
need_tools 77 Xvfb openbox xdotool
start_display 1366x768

mkdir -p "$out"
TOLVAN_SCREENSHOTS="$out" on_display "$binary"
