#!/bin/sh
# Draws the progress window, the stop question and the countdown offscreen.
# Usage: tools/screenshots/batch.sh <build folder> [picture folder]
set -eu
build=${1:?usage: batch.sh <build folder> [picture folder]}
out=${2:-$build/screenshots}
ninja -C "$build" batch_screens
QT_QPA_PLATFORM=offscreen ORM_NO_POWER_ACTIONS=1 "$build/tools/screenshots/batch_screens" "$build/stage" "$out"
