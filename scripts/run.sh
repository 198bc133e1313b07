#!/usr/bin/env bash
# Installs, builds in Release, makes the demo video TrafficTest1f1.avi in build/demo when it is missing,
# and plays it in Lanescope on the user's display. Without a display, Lanescope plays it without a window and
# records the run, and the script says where the recording is.
set -euo pipefail

source "$(dirname "$0")/lib.sh"
bash "$root/scripts/setup.sh"
configure_build "$root/build"
cmake --build "$root/build" -j2 --target Lanescope Quadfinder TrafficVideoMaker

demo="$root/build/demo"
mkdir -p "$demo"
cd "$demo"
[ -f TrafficTest1f1.avi ] || "$root/build/tools/TrafficVideoMaker/TrafficVideoMaker" --frames 300 TrafficTest1f1.avi

lanescope="$root/build/src/Lanescope/Lanescope"
if [ -n "${DISPLAY:-}" ]; then
    exec "$lanescope"
fi
# Earlier versions of this script made a lower-case link to the video, which would be opened first.
[ ! -L traffictest1f1.avi ] || rm traffictest1f1.avi
"$lanescope" TrafficTest1f1.avi /r </dev/null
echo "No display here: Lanescope ran without a window. The recorded result is $demo/TrafficTest1f1_out.avi"
