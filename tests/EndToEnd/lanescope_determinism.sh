# Two runs on the same video from the same "am.dat" draw the same tracks: below the step time (the only
# drawing that depends on the clock) their recordings show the same boxes, labels, paths and circles, and
# the memory files they leave behind are identical. The recordings are compared by their drawings, not
# byte for byte: the step time changes the size of a recorded frame, and the Motion JPEG encoder's
# quantiser for the next frame with it. The tracks file of a run lists the boxes its recording shows, each
# id on one track only.
source "$(dirname "$0")/lib.sh"

make_video traffic.avi --frames 80
"$TEACHER" traffic.avi traffic.csv am.dat --frames 40 --every 2 >/dev/null || fail "cannot train am.dat"
for dir in a b; do
    mkdir "$dir"
    cp am.dat traffic.avi "$dir"
    cd "$dir"
    run Lanescope traffic.avi /r
    expect_eq "run $dir: exit code" "$RC" 0
    cd ..
done
"$PROBE" same a/traffic_out.avi b/traffic_out.avi || fail "the two recordings differ"
"$PROBE" tracks a/traffic_out.avi a/traffic_tracks.txt || fail "the tracks file differs from the recording"
cmp -s a/am.dat b/am.dat || fail "the two runs saved different memories"
"$PROBE" summary a/traffic_out.avi >summary.txt || fail "no recording"
tracked=$(grep -c 'track=1' summary.txt || true)
[ "$tracked" -gt 40 ] || fail "only $tracked of 80 frames show a track"
finish
