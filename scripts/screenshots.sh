#!/usr/bin/env bash
# Takes docs/lanescope.png and docs/quadfinder.png: each program plays a synthetic video under a virtual
# display and its window "Result" is captured while it runs. Lanescope starts from an "am.dat" that
# LanescopeTeacher trained on the vehicles of every other one of the video's first 100 frames, as that
# many picks and clicks would, so that it has something to follow. Also draws docs/traffic-situations.png,
# one frame of a drawn scene with every situation and its ground truth's boxes.
set -euo pipefail

source "$(dirname "$0")/lib.sh"
bash "$root/scripts/setup.sh"
configure_build "$root/build"
cmake --build "$root/build" -j2 --target Lanescope Quadfinder TrafficVideoMaker LanescopeTeacher >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
maker="$root/build/tools/TrafficVideoMaker/TrafficVideoMaker"
"$maker" --frames 600 TrafficTest1f1.avi
"$maker" --squares --frames 600 squares.avi
"$root/build/tools/LanescopeTeacher/LanescopeTeacher" TrafficTest1f1.avi TrafficTest1f1.csv am.dat --frames 100 --every 2

# Frame 61 of seed 7 with every situation, its ground truth's boxes drawn on the stored frame (yellow; red for
# an object wholly hidden), then turned upright.
"$maker" --seed 7 --frames 61 --noise 0 --stop-and-go --shake --pan --occlusion --lighting --perspective --tall \
    situations.avi
boxes=$(awk -F, '$1 == 61 { printf ",drawbox=x=%d:y=%d:w=%d:h=%d:color=%s:t=2", $3, $4, $5, $6,
    ($7 == 1 ? "yellow" : "red") }' situations_gt.txt)
ffmpeg -loglevel error -y -i situations.avi -vf "select=eq(n\,60)$boxes,vflip,scale=480:-1" -frames:v 1 \
    "$root/docs/traffic-situations.png"

# capture PROGRAM PNG ARGS...: runs PROGRAM, waits for its window and grabs it, at the size it opens with,
# into PNG.
cat >capture.sh <<'INNER'
set -euo pipefail
program=$1 png=$2
shift 2
"$program" "$@" >/dev/null 2>&1 </dev/null &
pid=$!
trap 'kill -KILL $pid 2>/dev/null || true' EXIT
wid=""
for _ in $(seq 300); do
    wid=$(xdotool search --name '^Result$' 2>/dev/null | head -n 1 || true)
    [ -n "$wid" ] && break
    sleep 0.1
done
[ -n "$wid" ] || { echo "no window" >&2; exit 1; }
xdotool mousemove 799 599 2>/dev/null || true
sleep 2
eval "$(xdotool getwindowgeometry --shell "$wid")"
ffmpeg -loglevel error -y -f x11grab -video_size "${WIDTH}x${HEIGHT}" -i "$DISPLAY+$X,$Y" -frames:v 1 "$png"
kill -TERM $pid
INNER
xvfb-run -a -s "-screen 0 800x600x24" bash capture.sh "$root/build/src/Lanescope/Lanescope" "$root/docs/lanescope.png"
xvfb-run -a -s "-screen 0 800x600x24" bash capture.sh "$root/build/src/Quadfinder/Quadfinder" "$root/docs/quadfinder.png" squares.avi
echo "Wrote $root/docs/lanescope.png, $root/docs/quadfinder.png and $root/docs/traffic-situations.png"
