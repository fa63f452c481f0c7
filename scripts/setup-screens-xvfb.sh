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
for tool in Xvfb openbox xdotool; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

fdfile=$(mktemp)
cleanup() {
    kill "${wm:-}" "${xvfb:-}" 2>/dev/null || true
    rm -f "$fdfile"
}
trap cleanup EXIT

. "$here/scripts/xvfb-display.sh"
start_display 1366x768

mkdir -p "$out"
# X client libraries keep some memory until exit; only a sanitizer build cares.
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0} QT_QPA_PLATFORM=xcb TOLVAN_SCREENSHOTS="$out" "$binary"
