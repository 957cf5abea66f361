# Sourced by the tests that need a real X server. start_xvfb starts one on the
# first free display number, without resets between the program starts a
# test makes (a reset refuses connections for a moment), exports DISPLAY once
# it answers, and leaves its process id in xvfb_pid. Needs $work and fail().
start_xvfb() {
    exec 3>"$work/display"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$work/display" ] && break
        sleep 0.1
    done
    [ -s "$work/display" ] || fail "Xvfb did not start"
    DISPLAY=:$(cat "$work/display")
    export DISPLAY
    # The number is known before the server takes connections.
    for _ in $(seq 100); do
        xwininfo -root >/dev/null 2>&1 && break
        sleep 0.1
    done
    xwininfo -root >/dev/null 2>&1 || fail "Xvfb does not answer on $DISPLAY"
}
