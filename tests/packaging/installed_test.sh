#!/bin/sh
# Installs the build into a temporary root and checks the installation: the
# layout, the menu entry and metainfo (validated by their tools), and a real
# conversion by the installed Marbeck started through its launcher on an X
# server of its own, from a program folder it cannot write. Its settings must
# appear in the test's XDG_CONFIG_HOME and nothing may be written beside it.
# Argument: the build folder. Exit status 77 (skipped) when a tool is missing.
set -eu

build=$1
for tool in desktop-file-validate appstreamcli Xvfb xwininfo xdotool ffmpeg ffprobe file; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
chmod 755 "$work"
xvfb_pid=
app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill -9 "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && { kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; } || true
    chmod -R u+w "$work" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# --- the installation -------------------------------------------------------
prefix=/usr/local
root=$work/root
DESTDIR=$root cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log"; fail "cmake --install"; }
app=$root$prefix/lib/ormolux
for f in Marbeck Cordane avs.dat installed.txt cores/DirectShow.avs \
    default_setting/Transcoding_iPod.ini Skins/tools/lang/english.ini \
    Skins/tools/skin/skin.ini lang/english_Cordane.ini; do
    [ -f "$app/$f" ] || fail "missing $f"
done
[ -x "$app/Marbeck" ] && [ -x "$app/Cordane" ] && [ -x "$app/ormolux-jobholder" ] &&
    [ -x "$app/ormolux-probe" ] ||
    [ -x "$app/ormolux-convert" ] ||
    fail "the programs are not executable"
[ "$(readlink "$app/cores/avcore.dll")" = /usr/bin/ffmpeg ] || fail "avcore.dll is not a link to ffmpeg"
for f in vuzu.ini lnh.ini lanthorn-stub '~ConvertCore.bat'; do
    [ ! -e "$app/$f" ] || fail "$f was installed"
done
for launcher in marbeck cordane ormolux-convert; do
    target=$(readlink -f "$root$prefix/bin/$launcher") || fail "no launcher $launcher"
    [ -x "$target" ] || fail "launcher $launcher leads nowhere"
done
share=$root$prefix/share
for size in 16 22 24 32 48 64 128 256; do
    png=$share/icons/hicolor/${size}x$size/apps/org.ormolux.Marbeck.png
    file "$png" | grep -q "PNG image data, $size x $size" || fail "icon $png"
done
grep -q '<svg' "$share/icons/hicolor/scalable/apps/org.ormolux.Marbeck.svg" || fail "no SVG icon"

# --- the menu entry and the metainfo ---------------------------------------
desktop=$share/applications/org.ormolux.Marbeck.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate"
for family in -all -ipod -psp -3gp; do
    grep -q "^Exec=marbeck $family %F\$" "$desktop" || fail "no entry for $family"
done
appstreamcli validate --no-net "$share/metainfo/org.ormolux.Marbeck.metainfo.xml" ||
    fail "appstreamcli validate"

# --- the installed Marbeck from a folder it cannot write --------------------
# Root writes every folder, so root runs the program as nobody; anyone else
# takes the write permission away.
run_as=
user_files="$work/home $work/config $work/runtime $work/out $work/clips"
mkdir -p $user_files
if [ "$(id -u)" -eq 0 ]; then
    command -v setpriv >/dev/null 2>&1 || { echo "SKIP: setpriv is not installed"; exit 77; }
    run_as="setpriv --reuid=nobody --regid=nogroup --clear-groups --"
    # shellcheck disable=SC2086
    chown -R nobody:nogroup $user_files
else
    chmod -R a-w "$root"
fi
chmod 700 "$work/runtime"
$run_as sh -c "test ! -w '$app'" || fail "the program folder is writable for the test"

ffmpeg -v error -f lavfi -i testsrc2=size=320x240:rate=25 -f lavfi -i sine=frequency=440 \
    -t 2 -c:v mpeg4 -c:a mp2 -y "$work/clip.avi" || fail "no test clip"
cp "$work/clip.avi" "$work/clips/clip.avi"
[ "$(id -u)" -eq 0 ] && chown nobody:nogroup "$work/clips/clip.avi"
find "$app" -printf '%p %s %T@\n' | sort >"$work/before"

. "$(dirname "$0")/../support/xvfb.sh"
start_xvfb
unset QT_QPA_PLATFORM TMPDIR
export ORM_ANSWER_DIALOGS=1 ORM_NO_POWER_ACTIONS=1 HOME="$work/home" \
    XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"

wait_window() {
    for _ in $(seq 300); do
        xwininfo -name "$1" 2>/dev/null | grep -q 'Map State: IsViewable' && return 0
        kill -0 "$app_pid" 2>/dev/null || { cat "$work/out.log"; fail "Marbeck ended while waiting for '$1'"; }
        sleep 0.1
    done
    fail "no window '$1'"
}
stop_app() {
    kill -TERM "$app_pid"
    for _ in $(seq 100); do
        kill -0 "$app_pid" 2>/dev/null || { wait "$app_pid" || true; app_pid=; return 0; }
        sleep 0.1
    done
    fail "Marbeck did not end on SIGTERM"
}

# First start: the chooser, with the defaults already in the user's folder.
settings=$work/config/ormolux/vuzu.ini
$run_as "$root$prefix/bin/marbeck" -ipod >"$work/out.log" 2>&1 &
app_pid=$!
wait_window "Configuration Manager"
[ -f "$settings" ] || fail "vuzu.ini did not appear in XDG_CONFIG_HOME"
stop_app

# Second start with the clip on the command line ("Open with"): Enter converts it.
sed -i -e 's/^ShowWindow=1/ShowWindow=0/' -e "s|^OutputPath=.*|OutputPath=$work/out/|" \
    -e "s|^ProfilePath=.*|ProfilePath=$app/default_setting/iPod_Classic.ini|" "$settings"
$run_as "$root$prefix/bin/marbeck" -ipod "$work/clips/clip.avi" >"$work/out.log" 2>&1 &
app_pid=$!
wait_window "Ormolux version: 3.0.2"
# Convert Now waits for the clip to be examined and listed; the kept list
# names it once it is.
for _ in $(seq 300); do
    grep -qs 'clip.avi' "$work/config/ormolux/vuzu.list" && break
    sleep 0.1
done
window=$(xdotool search --name "Ormolux version: 3.0.2" | head -n 1)
xdotool windowfocus --sync "$window" key Return
# The batch is over when the clip is whole (an MP4 file is readable only once
# finished) and the job's script is gone from the user's runtime folder.
scripts=$work/runtime/ormolux
converted=$work/out/clip.m4v
for _ in $(seq 1500); do
    if [ ! -e "$scripts/~ConvertCore.bat" ] &&
        ffprobe -v quiet -show_format "$converted" >/dev/null 2>&1; then
        break
    fi
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
done
[ -d "$scripts" ] || fail "no script folder in XDG_RUNTIME_DIR"
[ ! -e "$scripts/~ConvertCore.bat" ] || fail "the job's script was left behind"
[ "$(ffprobe -v error -select_streams v:0 -show_entries stream=codec_name -of csv=p=0 "$converted")" = h264 ] ||
    { cat "$work/out.log"; fail "no whole converted clip"; }
if grep -q '^\[message\]' "$work/out.log"; then
    cat "$work/out.log"
    fail "the batch reported a message"
fi
[ -f "$work/clips/clip.avi" ] || fail "the source is gone"
stop_app

# The installed converter from a terminal with no display: the same clip by
# its launcher, its summary, and nothing written beside the program either.
$run_as env -u DISPLAY "$root$prefix/bin/ormolux-convert" --profile iPod_Classic.ini \
    --preset Item0 --output "$work/out/cli" --json - "$work/clips/clip.avi" \
    >"$work/cli.json" 2>"$work/cli.log" || { cat "$work/cli.log"; fail "ormolux-convert"; }
grep -q '"result": "converted"' "$work/cli.json" || { cat "$work/cli.json"; fail "no converted source"; }
[ "$(ffprobe -v error -select_streams v:0 -show_entries stream=codec_name -of csv=p=0 "$work/out/cli/clip.m4v")" = h264 ] ||
    fail "ormolux-convert made no whole clip"

find "$app" -printf '%p %s %T@\n' | sort >"$work/after"
diff "$work/before" "$work/after" || fail "the program folder changed"
grep -q '^\[form\]' "$settings" || fail "the window's place was not kept in the user's settings"
echo "installed: ok"
