#!/bin/sh
# The borderless main window under a real window manager (openbox on an X
# server of its own): a click on the background of the inactive window and a
# later pointer motion leave the window where it was; a press, a drag and a
# release move it by the drag, and it stays there after the release.
# Argument: the staged installation. Exits with 77 when a tool is missing.
set -eu

stage=$1
for tool in Xvfb openbox xdotool xwininfo xprop xmessage; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: no $tool"; exit 77; }
done

work=$(mktemp -d)
xvfb_pid=
wm_pid=
app_pid=
other_pid=
cleanup() {
    for pid in $app_pid $other_pid $wm_pid; do
        kill -9 "$pid" 2>/dev/null || true
    done
    # Waited for: a server still ending could remove the socket of the next one.
    [ -n "$xvfb_pid" ] && { kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; } || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

cp -r "$stage/." "$work/app"
printf '[System]\nShowWindow=0\n' >"$work/app/vuzu.ini"

. "$(dirname "$0")/../../support/xvfb.sh"
start_xvfb

# The window manager, with its own settings: click to focus, a click on a
# window raises and focuses it and is passed on to the window.
HOME="$work" openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm_pid=$!
for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
done
xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' ||
    fail "openbox did not start"

unset QT_QPA_PLATFORM
export ORM_ANSWER_DIALOGS=1 HOME="$work"
"$work/app/Marbeck" -all >"$work/out" 2>&1 &
app_pid=$!

# The id of the one viewable window whose title starts with $1.
window_id() {
    for _ in $(seq 300); do
        id=$(xdotool search --onlyvisible --name "^$1" 2>/dev/null | head -n 1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}
# "x y" of the window's top-left corner on the screen.
position() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4}
        END {print x, y}'
}
# Waits until the window's position differs from $2, or two seconds passed.
position_after_change() {
    for _ in $(seq 20); do
        now=$(position "$1")
        [ "$now" != "$2" ] && break
        sleep 0.1
    done
    echo "$now"
}

main=$(window_id "Ormolux version") || fail "no main window"
kill -0 "$app_pid" 2>/dev/null || fail "the program ended"
set -- $(position "$main")
x0=$1 y0=$2

# Another window takes the focus: the main window is inactive.
xmessage -geometry 300x80+900+850 "another window" >"$work/xmessage.log" 2>&1 &
other_pid=$!
other=$(window_id xmessage) || fail "no other window"
xdotool windowactivate --sync "$other" 2>/dev/null || xdotool windowfocus --sync "$other"
[ "$(xdotool getactivewindow)" != "$main" ] || fail "the main window is still active"

# One click on the background between the title and the list, then the
# pointer goes elsewhere without a button.
bx=$((x0 + 500)) by=$((y0 + 60))
xdotool mousemove --sync "$bx" "$by" click 1
sleep 0.5
for step in 1 2 3 4 5; do
    xdotool mousemove --sync $((bx + 40 * step)) $((by + 30 * step))
    sleep 0.1
done
after_click=$(position_after_change "$main" "$x0 $y0")
[ "$after_click" = "$x0 $y0" ] ||
    fail "a click and a motion moved the window from $x0 $y0 to $after_click"

# A press, a drag by (120, 90) in small steps, as a hand moves a mouse, and a
# release move the window by the drag, less the few pixels the pointer moves
# before a drag counts as one.
xdotool mousemove --sync "$bx" "$by" mousedown 1
for step in $(seq 30); do
    xdotool mousemove --sync $((bx + 4 * step)) $((by + 3 * step))
    sleep 0.02
done
sleep 0.3
xdotool mouseup 1
set -- $(position_after_change "$main" "$x0 $y0")
dx=$(($1 - x0)) dy=$(($2 - y0))
[ "$dx" -ge 100 ] && [ "$dx" -le 125 ] && [ "$dy" -ge 75 ] && [ "$dy" -le 95 ] ||
    fail "a drag by 120 90 moved the window by $dx $dy"

# After the release the window no longer follows the pointer.
x1=$1 y1=$2
xdotool mousemove --sync $((bx + 300)) $((by + 250))
sleep 0.5
after_drag=$(position_after_change "$main" "$x1 $y1")
[ "$after_drag" = "$x1 $y1" ] || fail "the window followed the pointer after the drag"
echo "window drag under openbox: ok (dragged by $dx $dy)"
