#!/bin/sh
# Starts the staged Marbeck for real on an X server of its own: the family
# argument, the first start (defaults written before the chooser shows), a
# later start straight into the main window, and a clean close on SIGTERM.
# Argument: the staged installation.
set -eu

stage=$1
work=$(mktemp -d)
xvfb_pid=
app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill -9 "$app_pid" 2>/dev/null || true
    # Waited for: a server still ending could remove the socket of the next one.
    [ -n "$xvfb_pid" ] && { kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; } || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

cp -r "$stage/." "$work/app"
rm -f "$work/app/vuzu.ini"

. "$(dirname "$0")/../../support/xvfb.sh"
start_xvfb
unset QT_QPA_PLATFORM
export ORM_ANSWER_DIALOGS=1 HOME="$work"

# Waits until a viewable window with this exact title exists.
wait_window() {
    for _ in $(seq 300); do
        if xwininfo -name "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; then
            return 0
        fi
        kill -0 "$app_pid" 2>/dev/null || fail "the program ended while waiting for '$1'"
        sleep 0.1
    done
    fail "no window '$1'"
}
viewable() { xwininfo -name "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }

# Ends the program with SIGTERM and waits for it.
stop_app() {
    kill -TERM "$app_pid"
    for _ in $(seq 100); do
        kill -0 "$app_pid" 2>/dev/null || { wait "$app_pid" || true; app_pid=; return 0; }
        sleep 0.1
    done
    fail "the program did not end on SIGTERM"
}

# No argument and an unknown one: an error box, then a non-zero exit.
for args in "" "-zune"; do
    set +e
    # shellcheck disable=SC2086
    "$work/app/Marbeck" $args >"$work/out" 2>&1
    status=$?
    set -e
    [ "$status" -ne 0 ] || fail "Marbeck '$args' exited with 0"
    grep -q '\[message\] Error: Start Ormolux with the device family' "$work/out" ||
        fail "no error box for '$args'"
done
[ ! -e "$work/app/vuzu.ini" ] || fail "a refused start wrote settings"

# First start, in upper case: the defaults are on disk while the chooser is up.
"$work/app/Marbeck" -IPOD >"$work/out1" 2>&1 &
app_pid=$!
wait_window "Configuration Manager"
grep -q '^FormatType=1' "$work/app/vuzu.ini" || fail "the defaults were not written first"
grep -q '^ShowWindow=1' "$work/app/vuzu.ini" || fail "ShowWindow default"
viewable "Ormolux version: 3.0.2" && fail "the main window showed before the chooser closed"
stop_app

# A later start with the chooser switched off shows the main window directly.
sed -i 's/^ShowWindow=1/ShowWindow=0/' "$work/app/vuzu.ini"
"$work/app/Marbeck" -psp >"$work/out2" 2>&1 &
app_pid=$!
wait_window "Ormolux version: 3.0.2"
viewable "Configuration Manager" && fail "the chooser showed with ShowWindow=0"
stop_app
grep -q '^\[form\]' "$work/app/vuzu.ini" || fail "SIGTERM did not close the window cleanly"
grep -q '^ShowWindow=0' "$work/app/vuzu.ini" || fail "settings lost at close"
echo "real start: ok"
