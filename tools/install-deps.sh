#!/bin/sh
# Installs the Debian packages that building, running and testing need.
# Only what is missing is installed; a machine that has everything is left alone.
set -eu

PACKAGES="
g++
cmake
ninja-build
make
pkg-config
qt6-base-dev
qt6-base-dev-tools
qt6-svg-dev
libmediainfo-dev
libmediainfo0v5
libpng-dev
zlib1g-dev
libexpected-dev
ffmpeg
mediainfo
libgtest-dev
libgmock-dev
libbenchmark-dev
xvfb
xauth
x11-utils
fonts-wine
fonts-dejavu-core
clang-format
qt6-translations-l10n
desktop-file-utils
appstream
lintian
dpkg-dev
file
xdotool
openbox
dbus-daemon
parallel
"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

[ -z "$missing" ] && exit 0

echo "Installing:$missing"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing
