#!/bin/sh
# Installs the build into a temporary DESTDIR and checks the tree; runs the
# desktop-entry and AppStream validators when they are installed, and builds
# the Debian package when dpkg-deb is present (checked by lintian when that is
# installed). Usage: install-tree.sh BUILD_DIR
set -eu
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$work/root" cmake --install "$build" --prefix /usr >/dev/null
root="$work/root/usr"
for f in bin/tolvan-pm bin/tolvan-codec bin/tolvan-terminal \
         share/applications/tolvan-pm.desktop \
         share/metainfo/org.tolvan.pm.metainfo.xml \
         share/icons/hicolor/scalable/apps/tolvan-pm.svg \
         share/icons/hicolor/48x48/apps/tolvan-pm.png \
         share/icons/hicolor/256x256/apps/tolvan-pm.png \
         share/man/man1/tolvan-pm.1.gz share/man/man1/tolvan-codec.1.gz share/man/man1/tolvan-terminal.1.gz \
         share/doc/tolvan-pm/copyright share/doc/tolvan-pm/guide.md; do
    [ -f "$root/$f" ] || fail "$f is not installed"
done
[ -x "$root/bin/tolvan-pm" ] && [ -x "$root/bin/tolvan-codec" ] && [ -x "$root/bin/tolvan-terminal" ] ||
    fail "the programs are not executable"

# The installed programs answer without a display and without a station folder.
home="$work/home"
mkdir -p "$home"
out=$(env -u DISPLAY HOME="$home" "$root/bin/tolvan-pm" --version) || fail "tolvan-pm --version failed"
case $out in "tolvan-pm "*) ;; *) fail "tolvan-pm --version printed: $out" ;; esac
env -u DISPLAY HOME="$home" "$root/bin/tolvan-pm" --help | grep -q -- "--station DIR" || fail "tolvan-pm --help"
"$root/bin/tolvan-codec" --help | grep -q "7plus-encode" || fail "tolvan-codec --help"
env -u DISPLAY HOME="$home" "$root/bin/tolvan-terminal" --help | grep -q "terminalcall.dat" || fail "tolvan-terminal --help"
rc=0
"$root/bin/tolvan-terminal" --bogus >/dev/null 2>&1 || rc=$?
[ $rc -eq 2 ] || fail "tolvan-terminal --bogus exited $rc, not 2"
# Every option and settings file of tolvan-terminal is in its man page.
tpage=$(gzip -dc "$root/share/man/man1/tolvan-terminal.1.gz")
for o in $("$root/bin/tolvan-terminal" --help | grep -o -- '--[a-z-]*\|[a-z]*\.dat' | sort -u); do
    printf '%s\n' "$tpage" | sed 's/\\-/-/g' | grep -q -- "$o" || fail "the tolvan-terminal man page lacks $o"
done
[ -z "$(ls -A "$home")" ] || fail "--version or --help wrote into the home folder"

# Every verb of tolvan-codec is in its man page.
verbs=$("$root/bin/tolvan-codec" --help | sed -n 's/^  \([a-z0-9-]*\) .*/\1/p')
[ -n "$verbs" ] || fail "no verbs in tolvan-codec --help"
page=$(gzip -dc "$root/share/man/man1/tolvan-codec.1.gz")
for v in $verbs; do
    printf '%s\n' "$page" | grep -q -- "$v" || fail "man page lacks the verb $v"
done

if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$root/share/applications/tolvan-pm.desktop" || fail "desktop entry"
else
    echo "desktop-file-validate not installed: desktop entry not validated"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$root/share/metainfo/org.tolvan.pm.metainfo.xml" || fail "metainfo"
else
    echo "appstreamcli not installed: metainfo not validated"
fi

if command -v dpkg-deb >/dev/null && command -v dpkg-shlibdeps >/dev/null && command -v file >/dev/null; then
    (cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >/dev/null) || fail "cpack"
    deb=$(ls "$work"/pkg/tolvan-pm_*.deb)
    depends=$(dpkg-deb -f "$deb" Depends)
    for d in espeak-ng-data xdg-utils libqt6widgets6 libespeak-ng1; do
        printf '%s\n' "$depends" | grep -q "$d" || fail "Depends lacks $d: $depends"
    done
    [ "$(dpkg-deb -f "$deb" Suggests)" = wine ] || fail "Suggests is not wine"
    dpkg-deb -c "$deb" | grep -q './usr/bin/tolvan-pm$' || fail "the package lacks /usr/bin/tolvan-pm"
    dpkg-deb -c "$deb" | grep -q './usr/bin/tolvan-terminal$' || fail "the package lacks /usr/bin/tolvan-terminal"
    if command -v lintian >/dev/null; then
        tags=$(lintian "$deb" 2>/dev/null || true)
        printf '%s\n' "$tags"
        printf '%s\n' "$tags" | grep -q '^E: ' && fail "lintian reports errors"
    fi
else
    echo "dpkg-deb, dpkg-shlibdeps or file not installed: package not built"
fi
echo "install tree complete"
