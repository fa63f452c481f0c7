# Sourced by the real-window scripts. Sourcing it makes a temporary file for
# the display number and ends the display and the file when the script exits.
#   need_tools STATUS TOOL...  ends the script with STATUS when a tool is
#                              missing (77 means skipped, as ctest reads it)
#   build_screens_driver       builds the screen driver in $build
#   start_display WxH          starts a private Xvfb of that size with openbox
#                              on it, exports DISPLAY and sets xvfb and wm to
#                              their process ids; Xvfb picks a free display
#                              itself, so parallel runs never share one
#   stop_display               ends both
#   on_display COMMAND...      runs a Qt program in real windows on it

need_tools() {
    local status=$1
    shift
    for tool in "$@"; do
        command -v "$tool" >/dev/null && continue
        if [ "$status" = 77 ]; then
            echo "skipped: $tool is not installed"
        else
            echo "missing: $tool (apt-get install xvfb openbox)" >&2
        fi
        exit "$status"
    done
}

build_screens_driver() {
    [ -f "$build/CMakeCache.txt" ] || cmake -S "$here" -B "$build" -G Ninja
    cmake --build "$build" --target app_guide_screens
}

start_display() {
    : >"$fdfile"
    Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.05; done
    [ -s "$fdfile" ] || { echo "Xvfb did not start" >&2; exit 1; }
    export DISPLAY=":$(tr -d '[:space:]' < "$fdfile")"
    openbox >/dev/null 2>&1 &
    wm=$!
    sleep 0.5
}

stop_display() {
    [ -n "${wm:-}${xvfb:-}" ] || return 0
    kill ${wm:-} ${xvfb:-} 2>/dev/null || true
    wait ${wm:-} ${xvfb:-} 2>/dev/null || true
    wm= xvfb=
}

# X client libraries keep some memory until exit; only a sanitizer build cares.
on_display() {
    ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0} QT_QPA_PLATFORM=xcb LANG=C.UTF-8 "$@"
}

fdfile=$(mktemp)
trap 'stop_display; rm -f "$fdfile"' EXIT
