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

# Xvfb picks a free display itself and writes its number, so parallel runs
# never share one.
Xvfb -displayfd 3 -screen 0 1366x768x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.05; done
[ -s "$fdfile" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(tr -d '[:space:]' < "$fdfile")"
openbox >/dev/null 2>&1 &
wm=$!
sleep 0.5

mkdir -p "$out"
# X client libraries keep some memory until exit; only a sanitizer build cares.
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0} QT_QPA_PLATFORM=xcb TOLVAN_SCREENSHOTS="$out" "$binary"
