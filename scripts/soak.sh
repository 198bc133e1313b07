#!/usr/bin/env bash
# Soak test of both programs: each plays 21 000 frames of synthetic 640 x 480 traffic in a virtual display
# while its resident memory (VmRSS) is sampled; prints the figures at about frames 1 000, 10 000 and
# 20 000 and fails when the last exceeds the first by more than LANESCOPE_SOAK_GROWTH_KB.
# Lanescope is taught four objects while it runs: at set frames the script presses t (n for a new type)
# and clicks into "Result", the way a user picks an object. Not part of the test suite; takes about 20
# minutes on two cores (4 to make the video once, 6 to 8 for each program). Run from anywhere:
#   bash scripts/soak.sh
# Installs what is missing and builds in Release first. Work files (the 1 GB video, am.dat, logs) stay in
# build/soak/.
#   LANESCOPE_SOAK_FRAMES     frames of the video (default 21000); the last figure is taken at about frame
#                             20 000, so a run of fewer frames fails
#   LANESCOPE_SOAK_GROWTH_KB  growth of VmRSS in kB that fails the run (default 20480)
#   LANESCOPE_SOAK_PROGRAMS   which programs, in order (default "Quadfinder Lanescope")
#   LANESCOPE_SOAK_EXE        another build of the one program named in LANESCOPE_SOAK_PROGRAMS
set -euo pipefail

source "$(dirname "$0")/lib.sh"
build=$root/build
frames=${LANESCOPE_SOAK_FRAMES:-21000}
growth_kb=${LANESCOPE_SOAK_GROWTH_KB:-20480}
work=$build/soak

bash "$root/scripts/setup.sh"
configure_build "$build"
ninja -C "$build" -j2 Lanescope Quadfinder TrafficVideoMaker
mkdir -p "$work"
cd "$work"
video=soak.avi
if [ ! -s "$video" ] || [ "$(cat soak.frames 2>/dev/null)" != "$frames" ]; then
    echo "making $frames frames of 640 x 480 traffic"
    "$build/tools/TrafficVideoMaker/TrafficVideoMaker" --frames "$frames" --seed 11 "$video" >/dev/null
    echo "$frames" >soak.frames
fi
video_bytes=$(stat -c %s "$video")

# frame_of PID: the frame the program has reached, estimated from how far it has read into the video
# (the read offset of its descriptor on the file; the decoder reads ahead by a few frames at most).
frame_of() {
    local fd link pos
    for fd in /proc/"$1"/fd/*; do
        link=$(readlink "$fd" 2>/dev/null || true)
        if [ "$link" = "$work/$video" ]; then
            pos=$(awk '/^pos:/ {print $2}' /proc/"$1"/fdinfo/"${fd##*/}" 2>/dev/null || echo 0)
            echo $((pos * frames / video_bytes))
            return
        fi
    done
    echo 0
}

rss_of() {
    awk '/^VmRSS:/ {print $2}' /proc/"$1"/status 2>/dev/null || echo 0
}

# pick PID DISPLAY XAUTHORITY K FRAME: the K-th pick: a key, then a click into "Result" (window
# coordinates that keep the 100 x 100 rectangle inside the frame), repeated until the video moves again.
pick() {
    local pid=$1 k=$4 wid key=t before tries
    export DISPLAY=$2 XAUTHORITY=$3
    wid=$(xdotool search --name '^Result$' 2>/dev/null | head -n 1 || true)
    [ -n "$wid" ] || return 0
    [ "$k" -ge 2 ] && key=n
    xdotool key --window "$wid" "$key" 2>/dev/null || true
    sleep 1
    before=$(frame_of "$pid")
    for tries in 1 2 3 4 5; do
        xdotool mousemove --window "$wid" $((60 + 40 * k)) 100 2>/dev/null || true
        sleep 0.5
        xdotool click --window "$wid" 1 2>/dev/null || true
        sleep 2
        [ "$(frame_of "$pid")" -gt "$before" ] && break
    done
    echo "Lanescope: picked an object ($key, $tries click(s)) at frame ~$5"
}

# soak NAME: runs NAME over the video, samples it every half second, prints and checks the figures.
soak() {
    local name=$1 exe pid frame rss started picks=0
    exe=${LANESCOPE_SOAK_EXE:-$build/src/$name/$name}
    rm -f am.dat
    local marks=(1000 10000 20000) at=() rss_at=()
    xvfb-run -n $((100 + RANDOM % 20000)) -a -s "-screen 0 1024x768x24" \
        bash -c 'exec "$0" "$1" >"$2.out" 2>"$2.err"' "$exe" "$video" "$name" &
    local runner=$!
    started=$(date +%s)
    # The program is xvfb-run's grandchild: find it by its executable.
    pid=""
    for i in $(seq 600); do
        pid=$(pgrep -n -f "^$exe $video\$" || true)
        [ -n "$pid" ] && break
        sleep 0.1
    done
    [ -n "$pid" ] || { echo "$name did not start" >&2; return 1; }
    # The virtual display and its key, for the picks.
    local display xauthority
    display=$(tr '\0' '\n' </proc/"$pid"/environ | sed -n 's/^DISPLAY=//p')
    xauthority=$(tr '\0' '\n' </proc/"$pid"/environ | sed -n 's/^XAUTHORITY=//p')
    while kill -0 "$pid" 2>/dev/null; do
        frame=$(frame_of "$pid")
        rss=$(rss_of "$pid")
        for m in 0 1 2; do
            if [ -z "${at[$m]:-}" ] && [ "$frame" -ge "${marks[$m]}" ] && [ "$rss" -gt 0 ]; then
                at[$m]=$frame
                rss_at[$m]=$rss
                echo "$name: frame ~$frame after $(($(date +%s) - started)) s: VmRSS $rss kB"
            fi
        done
        # Lanescope: pick and train an object at frames ~2 000, 4 000, 6 000 and 8 000, the last two under
        # new types (n enters pick mode too). One key per pick: Qt hands one event to each key poll, so a
        # second key could arrive after the click and leave the program picking.
        if [ "$name" = Lanescope ] && [ "$picks" -lt 4 ] && [ "$frame" -ge $((2000 * (picks + 1))) ]; then
            pick "$pid" "$display" "$xauthority" "$picks" "$frame"
            picks=$((picks + 1))
        fi
        sleep 0.5
    done
    local rc=0
    wait "$runner" || rc=$?
    echo "$name: ended with exit code $rc after $(($(date +%s) - started)) s"
    [ "$rc" -eq 0 ] || { tail -n 20 "$name.err" >&2; return 1; }
    if [ "$name" = Quadfinder ]; then
        echo "$name: $(grep -c '^==> film current position' "$name.out") position lines"
    else
        [ -s am.dat ] && echo "$name: am.dat holds $(stat -c %s am.dat) bytes"
    fi
    if [ -z "${rss_at[2]:-}" ]; then
        echo "$name: ended before frame 20 000 could be sampled" >&2
        return 1
    fi
    echo "$name: VmRSS at frames ~1 000 / ~10 000 / ~20 000: ${rss_at[0]} / ${rss_at[1]} / ${rss_at[2]} kB"
    if [ $((rss_at[2] - rss_at[0])) -gt "$growth_kb" ]; then
        echo "$name: resident memory grew by $((rss_at[2] - rss_at[0])) kB" >&2
        return 1
    fi
}

status=0
for name in ${LANESCOPE_SOAK_PROGRAMS:-Quadfinder Lanescope}; do
    soak "$name" || status=1
done
exit $status
