# On a video of drifting squares Quadfinder prints one position line per frame, at that frame's time, and
# exits 0; with "/r" its recording outlines every square in green and draws green nowhere else, and its
# squares file lists those squares at each frame's time. The outline check itself fails a recording without
# outlines and the boxes of another video.
source "$(dirname "$0")/lib.sh"
: "${OUTLINE_CHECKER:?}"

FRAMES=40
make_video squares.avi --squares --frames $FRAMES
make_video other.avi --squares --seed 2 --frames $FRAMES

# 25 frames per second: frame k plays at k * 40 ms.
expected=$'Processing avi file...\n'
for k in $(seq 0 $((FRAMES - 1))); do
    ms=$((k * 40))
    printf -v line '==> film current position: 00:00:%02d.%03d' $((ms / 1000)) $((ms % 1000))
    expected+="$line"$'\n'
done

run Quadfinder squares.avi
expect_eq "squares.avi: exit code" "$RC" 0
expect_eq "squares.avi: output" "$OUT" "$expected"
[ ! -e squares_out.avi ] || fail "recorded without /r"

run Quadfinder squares.avi /r
expect_eq "squares.avi /r: exit code" "$RC" 0
expect_eq "squares.avi /r: output" "$OUT" "$expected"
if [ -e squares_out.avi ]; then
    "$OUTLINE_CHECKER" squares_out.avi squares.csv || fail "the recording does not outline the squares alone"
    "$OUTLINE_CHECKER" squares_out.avi other.csv >/dev/null &&
        fail "the outline check passes the boxes of another video"
    "$OUTLINE_CHECKER" squares_out.avi squares.csv squares_squares.csv || fail "the squares file differs from the outlines"
    expect_eq "squares file header" "$(head -n 1 squares_squares.csv)" "frame,position_ms,x1,y1,x2,y2,x3,y3,x4,y4"
    expect_eq "squares file: lines off their frame's time" "$(awk -F, 'NR > 1 && $2 != ($1 - 1) * 40' squares_squares.csv)" ""
else
    fail "no squares_out.avi"
fi

# Lanescope records the same frames without any outline.
rm -f squares_out.avi
run Lanescope squares.avi /r
expect_eq "Lanescope squares.avi /r: exit code" "$RC" 0
"$OUTLINE_CHECKER" squares_out.avi squares.csv >/dev/null &&
    fail "the outline check passes a recording without outlines"
finish
