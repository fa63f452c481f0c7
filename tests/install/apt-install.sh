#!/bin/sh
# Builds the Debian package, installs it with apt-get as an operator would,
# starts both programs from PATH, and removes the package again. Needs root
# and apt; exits 77 (skipped) otherwise, and when tolvan-pm is already
# installed on this machine (it is left alone). Usage: apt-install.sh BUILD_DIR
set -eu
build=$1
skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }

[ "$(id -u)" = 0 ] || skip "needs root"
command -v apt-get >/dev/null || skip "apt-get not available"
command -v dpkg-deb >/dev/null && command -v dpkg-shlibdeps >/dev/null && command -v file >/dev/null ||
    skip "dpkg-dev or file not installed"
if dpkg-query -W -f '${Status}' tolvan-pm 2>/dev/null | grep -q "installed"; then
    skip "tolvan-pm is already installed here"
fi

work=$(mktemp -d)
cleanup() {
    if dpkg-query -W -f '${Status}' tolvan-pm 2>/dev/null | grep -q "installed"; then
        DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -q tolvan-pm >/dev/null 2>&1 ||
            dpkg --purge tolvan-pm >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >/dev/null) || fail "cpack"
deb=$(ls "$work"/pkg/tolvan-pm_*.deb)

# Everything the package depends on is installed by packages.txt, so apt
# needs no network; it must never stop at a question.
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -q --no-install-recommends \
    -o Dpkg::Options::=--force-confdef -o Dpkg::Options::=--force-confold \
    -o DPkg::Lock::Timeout=120 "$deb" </dev/null || fail "apt-get install"

[ "$(command -v tolvan-pm)" = /usr/bin/tolvan-pm ] || fail "tolvan-pm is not on PATH"
home="$work/home"
mkdir -p "$home"
out=$(cd / && env -u DISPLAY HOME="$home" tolvan-pm --version) || fail "tolvan-pm --version"
case $out in "tolvan-pm "*) ;; *) fail "tolvan-pm --version printed: $out" ;; esac
(cd / && tolvan-codec --help) | grep -q "mail-decode" || fail "tolvan-codec --help"
[ "$(command -v tolvan-terminal)" = /usr/bin/tolvan-terminal ] || fail "tolvan-terminal is not on PATH"
(cd / && env -u DISPLAY HOME="$home" tolvan-terminal --help) | grep -q -- "--headless" || fail "tolvan-terminal --help"
[ -z "$(ls -A "$home")" ] || fail "the installed program wrote into the home folder"
echo "installed, started and removed"
