# Sourced by the real-window scripts: starts a private Xvfb of the size given
# (WIDTHxHEIGHT) with openbox on it, exports DISPLAY and sets xvfb and wm to
# their process ids. Xvfb picks a free display itself and writes its number
# into fdfile, so parallel runs never share one. The caller makes fdfile and
# ends both processes.
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
