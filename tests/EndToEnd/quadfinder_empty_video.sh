# A video without frames: Quadfinder prints no position line and exits 0; with "/r" it still opens and
# releases its writer, which leaves a recording without frames. TrafficVideoMaker makes no empty video, so
# FFmpeg writes one.
source "$(dirname "$0")/lib.sh"

ffmpeg -v error -f lavfi -i color=c=gray:s=64x48:r=25 -frames:v 0 -c:v mjpeg empty.avi ||
    { echo "cannot make empty.avi" >&2; exit 2; }
case "$(frames_of empty.avi)" in
0 | N/A) ;;
*) echo "empty.avi holds frames" >&2; exit 2 ;;
esac

run Quadfinder empty.avi
expect_eq "empty.avi: exit code" "$RC" 0
expect_eq "empty.avi: output" "$OUT" $'Processing avi file...\n'
[ ! -e empty_out.avi ] || fail "recorded without /r"

run Quadfinder empty.avi /r
expect_eq "empty.avi /r: exit code" "$RC" 0
expect_eq "empty.avi /r: output" "$OUT" $'Processing avi file...\n'
if [ -e empty_out.avi ]; then
    case "$(frames_of empty_out.avi)" in
    0 | N/A) ;;
    *) fail "the recording of an empty video holds frames" ;;
    esac
else
    fail "no empty_out.avi"
fi
finish
