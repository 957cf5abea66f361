#!/bin/sh
# Draws the source list and the file information window offscreen.
# Usage: tools/screenshots/sources.sh <build folder> [picture folder]
set -eu
build=${1:?usage: sources.sh <build folder> [picture folder]}
out=${2:-$build/screenshots}
ninja -C "$build" sources_screens
QT_QPA_PLATFORM=offscreen "$build/tools/screenshots/sources_screens" "$build/stage" "$out"
