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
for f in ./usr/bin/marbeck ./usr/bin/cordane ./usr/lib/ormolux/Marbeck ./usr/lib/ormolux/ormolux-jobholder \
    ./usr/lib/ormolux/ormolux-probe \
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

# Accepted warning: no-manual-page. The two programs are windowed programs
# started from the menu (or by a parent application); their usage is in the README.
if ! lintian --tag-display-limit 0 --fail-on error,warning --suppress-tags no-manual-page \
    "$deb" >"$work/lintian" 2>&1; then
    cat "$work/lintian"
    fail "lintian reports errors or warnings"
fi
echo "package: ok"
