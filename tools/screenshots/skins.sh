#!/bin/sh
# Draws the skinned windows offscreen, at 100 % and at 200 %.
# Usage: tools/screenshots/skins.sh <build folder> [picture folder]
set -eu
build=${1:?usage: skins.sh <build folder> [picture folder]}
out=${2:-$build/screenshots/skins}
ninja -C "$build" skins_screens skin_art
QT_QPA_PLATFORM=offscreen "$build/tools/screenshots/skins_screens" "$build/stage" "$out"
QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=2 "$build/tools/screenshots/skins_screens" "$build/stage" "$out/200"
