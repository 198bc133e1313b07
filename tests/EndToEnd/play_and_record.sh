# A synthetic video plays to its end with exit code 0, Quadfinder printing a position line per frame; with
# "/r" the recording has the input's frame count and size, and its first frame is the input's first frame
# turned upside down. Lanescope starts each run without a memory file, so that its first frame shows only
# the red start rectangle over the video. A recording run prints no error; without a display both programs
# say so in one line, play, print and record as usual and end with a line naming what they wrote; a
# display that other clients keep leaving does not turn them away, and one that refuses them is asked once
# and its reason told in that line. On a full disk a recording and a data file cut short leave the earlier
# ones as they were and are kept under names that say so.
source "$(dirname "$0")/lib.sh"

make_video clip.avi --frames 24
hot_keys=$'Hot keys: \n\tESC - quit the program\n\tt - stop the tracking and pick object for training\n\tn - next type\n\tp - previous type\n'
windowed_display=$DISPLAY
no_display="No display could be opened: the run goes on without a window, analysing, printing and \
recording as usual until the video ends or Ctrl+C."
for name in Lanescope Quadfinder; do
    if [ $name = Lanescope ]; then extra=$hot_keys; else extra=""; fi
    if [ $name = Lanescope ]; then wrote="clip_tracks.txt; am.dat saved"; else wrote=clip_squares.csv; fi
    rm -f am.dat
    run $name clip.avi
    expect_eq "$name clip.avi: exit code" "$RC" 0
    # Quadfinder adds its position line for each of the 24 frames.
    if [ $name = Quadfinder ]; then
        expect_eq "$name clip.avi: first line" "$(head -n 1 out.txt)" "Processing avi file..."
        expect_eq "$name clip.avi: position lines" "$(grep -c '^==> film current position: ' out.txt)" 24
        expect_eq "$name clip.avi: lines" "$(wc -l <out.txt)" 25
    else
        expect_eq "$name clip.avi: output" "$OUT" $'Processing avi file...\n'"$extra"
    fi
    rm -f am.dat
    [ ! -e clip_out.avi ] || fail "$name recorded without /r"

    windowed=$OUT
    for display in "$windowed_display" none; do
        rm -f am.dat
        if [ $display = none ]; then
            unset DISPLAY
            run $name clip.avi /r
            export DISPLAY=$windowed_display
        else
            run $name clip.avi /r
        fi
        expect_eq "$name clip.avi /r on display $display: exit code" "$RC" 0
        expect_eq "$name on display $display: output" "$OUT" "$windowed"
        errors=""
        [ $display != none ] || errors="$no_display"$'\n'"This run wrote clip_out.avi (24 frames) and $wrote."
        expect_eq "$name on display $display: standard error" "$(stray_errors)" "$errors"
        if [ -e clip_out.avi ]; then
            "$CHECKER" clip_out.avi clip.avi || fail "$name recording does not match its input"
            expect_eq "$name recording: frames found by ffprobe" "$(frames_of clip_out.avi)" 24
        else
            fail "$name wrote no clip_out.avi on display $display"
        fi
        rm -f clip_out.avi
    done
done

# A full disk, made with setrlimit(RLIMIT_FSIZE) through ulimit -f, since a small tmpfs cannot be mounted on
# every machine; with SIGXFSZ ignored, writes past the limit fail as on a full disk. Lanescope's recording is
# cut after about half its frames (its small tracks file is written whole and replaces the earlier one);
# Quadfinder can write nothing at all. Standard error goes through a pipe, which the limit does not touch.
for case in "Lanescope 700 1" "Quadfinder 0 2"; do
    read -r name limit n <<<"$case"
    run $name clip.avi /r
    cp clip_out.avi earlier.avi
    cp clip_squares.csv earlier.csv
    (trap '' XFSZ; ulimit -f "$limit"; exec "$(program $name)" clip.avi /r 2>&1 >/dev/null </dev/null) |
        cat >err.txt || fail "$name full disk: exit code"
    cmp -s clip_out.avi earlier.avi || fail "$name full disk: the earlier recording changed"
    expect_contains "$name full disk: standard error" "$(cat err.txt)" "The recording clip_out.avi is incomplete (24 \
frames written, but the file does not hold them all); the earlier clip_out.avi is kept, and this run's recording is kept \
as clip_out.incomplete-$n.avi."
done
recorded=$(frames_of clip_out.incomplete-1.avi 2>/dev/null || echo 0)
[ "$recorded" -gt 0 ] && [ "$recorded" -lt 24 ] || fail "Lanescope full disk: $recorded frames recorded, not part of 24"
expect_contains "Quadfinder full disk: standard error" "$(cat err.txt)" "Cannot write clip_squares.csv (File too \
large); the earlier clip_squares.csv is kept, and what this run wrote is kept as clip_squares.incomplete-1.csv."
cmp -s clip_squares.csv earlier.csv || fail "Quadfinder full disk: the earlier squares file changed"

# On a terminal, a run without a window shows its progress on standard error and ends that line.
unset DISPLAY
timeout 120 script -qec "'$LANESCOPE' clip.avi 2>&1 >/dev/null" /dev/null >tty.txt || fail "progress run: exit code"
expect_contains "progress line" "$(tr '\r' '\n' <tty.txt)" "24 of 24 frames"
expect_eq "progress line ended" "$(tail -c 1 tty.txt | od -An -c | tr -d ' ')" '\n'
# A count the video does not keep is dropped: one cut short ends on the frames done alone, and one written
# through a pipe (whose header never got its count) shows none at all.
head -c $(($(stat -c %s clip.avi) / 2)) clip.avi >cut.avi
ffmpeg -v error -i clip.avi -c copy -f avi - >piped.avi
for video in cut piped; do
    timeout 120 script -qec "'$QUADFINDER' $video.avi 2>&1 >/dev/null" /dev/null >tty.txt || fail "$video: exit code"
    lines=$(tr '\r' '\n' <tty.txt | grep 'frames/s')
    [[ $(tail -n 1 <<<"$lines") =~ ^[0-9]+\ frames, ]] || fail "$video: last progress line [$(tail -n 1 <<<"$lines")]"
done
expect_eq "piped: progress lines with a count" "$(grep -c ' of ' <<<"$lines")" 0
export DISPLAY=$windowed_display

# A virtual display resets whenever its last client leaves and turns connections away for a moment after;
# with another client coming and going all the time, every run still opens its window.
make_video short.avi --frames 3 --size 160x120
(while :; do xdotool getdisplaygeometry >/dev/null 2>&1 || true; done) &
churn=$!
for i in $(seq 12); do
    run Quadfinder short.avi
    [ "$RC" = 0 ] && [ -z "$(grep 'No display' err.txt)" ] || fail "run $i beside a coming and going client"
done
kill $churn

# A display that turns the program away for want of authorisation is asked once, and its reason is told once.
cookies=${XAUTHORITY:-}
export XAUTHORITY=$WORK/no-cookies
run Quadfinder short.avi
export XAUTHORITY=$cookies
expect_eq "Quadfinder refused by the display: standard error" "$(stray_errors)" \
    "${no_display/opened:/opened (the X server said: Authorization required, but no authorization protocol specified):}
This run recorded nothing (no /r)."
finish
