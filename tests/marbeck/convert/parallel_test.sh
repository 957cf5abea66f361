#!/bin/sh
# The README's recipe for a batch spread over machines, run on this one: GNU
# parallel starts one ormolux-convert per source, two at a time, all writing
# into one shared output folder. Every source must convert whole, with its own
# summary, and nothing else may be left there. Argument: the staged
# installation. Exit status 77 (skipped) when a tool is missing.
set -eu

stage=$1
for tool in parallel ffmpeg ffprobe; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# An installed copy (linked, not copied) with the test's own user folders.
cp -al "$stage" "$work/app"
echo installed >"$work/app/installed.txt"
mkdir -p "$work/in/sub" "$work/out" "$work/summaries" "$work/home" "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
PATH="$work/app:$PATH"

"$work/app/cores/avcore.dll" -v error -f lavfi -i testsrc2=size=160x120:rate=25 \
    -f lavfi -i sine=frequency=440 -t 1 -c:v mpeg4 -c:a mp2 -y "$work/clip.avi" ||
    fail "no test clip"
for name in one two "three and four" "it's \$(five)" sub/six; do
    cp "$work/clip.avi" "$work/in/$name.avi"
done

# Runs at once are safe only when each keeps its job files in a folder of its
# own: runs that wrote their scripts under one name in the shared script
# folder would convert each other's sources.
mkdir -p "$work/config/ormolux/profiles"
printf '[Info]\nTitleE=Probe\n[Item0]\nTitleE=Wait\nEXT=3gp\nCommand=sleep 2\n' \
    >"$work/config/ormolux/profiles/Probe.ini"
ormolux-convert --profile Probe.ini --preset Item0 --output "$work/probe" "$work/clip.avi" \
    >/dev/null 2>&1 &
probe=$!
shared=
for _ in $(seq 40); do
    [ -e "$work/runtime/ormolux/~ConvertCore.bat" ] && shared=yes
    sleep 0.05
done
wait "$probe" || true
rm -rf "$work/probe" "$work/config/ormolux/profiles"
[ -z "$shared" ] || fail "a run wrote its job script into the shared script folder"

# The recipe, as the README gives it, with this machine alone as the host.
find "$work/in" -type f -name '*.avi' -print0 |
    parallel -0 -j2 --halt never ormolux-convert --profile 3GPP_Phone.ini --preset Item0 \
        --jobs 1 --output "$work/out" --json "$work/summaries/{/.}.json" {} \
        >"$work/parallel.log" 2>&1 || { cat "$work/parallel.log"; fail "a conversion failed"; }

count=0
for source in "$work"/in/*.avi "$work"/in/sub/*.avi; do
    base=$(basename "$source" .avi)
    output="$work/out/$base.3gp"
    [ "$(ffprobe -v error -select_streams v:0 -show_entries stream=codec_name -of csv=p=0 "$output")" = h263 ] ||
        fail "no whole $output"
    grep -q '"result": "converted"' "$work/summaries/$base.json" || fail "no summary for $base"
    count=$((count + 1))
done
[ "$count" -eq 5 ] || fail "$count sources instead of 5"
[ "$(find "$work/out" -type f | wc -l)" -eq 5 ] || { ls -la "$work/out"; fail "files beside the outputs"; }
echo "parallel: ok"
