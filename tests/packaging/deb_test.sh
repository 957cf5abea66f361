#!/bin/sh
# Builds the Debian package from the install rules and checks it with lintian:
# no errors, and no warnings but the accepted ones below. Argument: the build
# folder. Exit status 77 (skipped) when a tool is missing.
set -eu

build=$1
for tool in cpack dpkg-deb dpkg-shlibdeps lintian file; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) ||
    { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/ormolux_*.deb)

# The package's own view: where things are, what it needs.
dpkg-deb -c "$deb" >"$work/contents"
for f in ./usr/bin/marbeck ./usr/bin/cordane ./usr/bin/ormolux-convert ./usr/lib/ormolux/Marbeck \
    ./usr/lib/ormolux/ormolux-jobholder ./usr/lib/ormolux/ormolux-probe ./usr/lib/ormolux/ormolux-convert \
    ./usr/lib/ormolux/cores/avcore.dll ./usr/share/applications/org.ormolux.Marbeck.desktop \
    ./usr/share/metainfo/org.ormolux.Marbeck.metainfo.xml ./usr/share/doc/ormolux/copyright \
    ./usr/share/icons/hicolor/256x256/apps/org.ormolux.Marbeck.png; do
    grep -q " $f\( \|\$\)" "$work/contents" || fail "the package lacks $f"
done
grep -q 'avcore.dll -> \.\./\.\./\.\./bin/ffmpeg' "$work/contents" || fail "avcore.dll is not a relative link to ffmpeg"
depends=$(dpkg-deb -f "$deb" Depends)
for d in ffmpeg libmediainfo0v5 libqt6widgets6 libpng16-16 fonts-dejavu-core; do
    echo "$depends" | grep -q "$d" || fail "Depends lacks $d: $depends"
done
recommends=$(dpkg-deb -f "$deb" Recommends)
for r in fonts-wine fonts-noto-cjk; do
    echo "$recommends" | grep -q "$r" || fail "Recommends lacks $r: $recommends"
done

# Accepted warning: no-manual-page for the two windowed programs, started
# from the menu (or by a parent application), whose usage is in the README.
# The command-line converter has its page, and it renders without a warning.
grep -q ' \./usr/share/man/man1/ormolux-convert\.1\.gz$' "$work/contents" ||
    fail "the package lacks the manual page of ormolux-convert"
grep -q ' \./usr/share/bash-completion/completions/ormolux-convert$' "$work/contents" ||
    fail "the package lacks the bash completion of ormolux-convert"
lintian --tag-display-limit 0 "$deb" >"$work/lintian" 2>&1 || true
if grep -E '^[EW]: ' "$work/lintian" | grep -vE 'no-manual-page \[usr/bin/(marbeck|cordane)\]$'; then
    cat "$work/lintian"
    fail "lintian reports errors or warnings"
fi
if command -v man >/dev/null 2>&1; then
    page=$(dirname "$0")/../../packaging/ormolux-convert.1
    MANWIDTH=80 man -l --warnings "$page" >"$work/man" 2>"$work/man.err" || fail "man -l"
    [ ! -s "$work/man.err" ] || { cat "$work/man.err"; fail "the manual page renders with warnings"; }
    grep -q 'EXIT STATUS' "$work/man" || fail "the manual page did not render"
fi
echo "package: ok"
