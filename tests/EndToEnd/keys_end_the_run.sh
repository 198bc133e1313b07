# Lanescope ends early on ESC and not on other keys; Quadfinder ends on any key. Ctrl+C, SIGTERM and SIGHUP
# end either program the same way, also while Lanescope picks and when it runs without a display. Either
# way the exit code is 0, the recording holds the frames shown so far and Lanescope saves its memory. A
# broken pipe on standard output ends Quadfinder so too. A run killed outright leaves its unfinished files,
# which the next run that records to their names names on standard error and leaves alone.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
source "$here/video_cases.sh"

make_video long.avi --frames 3000 --size 160x120

start Lanescope long.avi /r
wait_window
key x
wait_exit 2
expect_eq "Lanescope after x" "$RC" running
key Escape
wait_exit 30
expect_eq "Lanescope after ESC: exit code" "$RC" 0
"$CHECKER" long_out.avi long.avi --early || fail "Lanescope's recording after ESC"
rm -f long_out.avi

start Quadfinder long.avi /r
wait_window
key x
wait_exit 30
expect_eq "Quadfinder after x: exit code" "$RC" 0
"$CHECKER" long_out.avi long.avi --early || fail "Quadfinder's recording after a key"

# Job control, so that a program started in the background does not ignore Ctrl+C.
set -m
windowed_display=$DISPLAY
for case in "Lanescope INT picking" "Quadfinder HUP" "Lanescope TERM windowless"; do
    read -r name signal how <<<"$case"
    rm -f long_out.avi am.dat
    [ "$how" != windowless ] || unset DISPLAY
    start $name long.avi /r
    export DISPLAY=$windowed_display
    if [ "$how" = windowless ]; then
        for i in $(seq 600); do grep -q 'Hot keys' out.txt && break; sleep 0.1; done
    else
        wait_window
    fi
    [ "$how" != picking ] || key t
    sleep 1
    kill -$signal "$STARTED_PID" || true
    wait_exit 30
    expect_eq "$case: exit code" "$RC" 0
    "$CHECKER" long_out.avi long.avi --early || fail "$case: the recording"
    [ $name != Lanescope ] || expect_saved_memory "$case"
done

rm -f long_out.avi long_squares.csv
start Quadfinder long.avi /r
wait_window
kill -KILL "$STARTED_PID"
wait_exit 10
unfinished=$(ls | grep -E '^long_(out|squares)\.[[:alnum:]]{6}\.(avi|csv)$' | tr '\n' ' ')
set +e
"$QUADFINDER" long.avi /r 2>err.txt </dev/null | head -n 3 >/dev/null
RC=${PIPESTATUS[0]}
set -e
expect_eq "Quadfinder into a closed pipe: exit code" "$RC" 0
"$CHECKER" long_out.avi long.avi --early || fail "Quadfinder into a closed pipe: the recording"
[ -s long_squares.csv ] || fail "Quadfinder into a closed pipe: no squares file"
for file in $unfinished; do
    expect_contains "killed run's unfinished files" "$(cat err.txt)" "what it wrote is in $file, which is left"
done
expect_eq "files after a killed run" "$(ls | grep -cE '^long_(out|squares)\.[[:alnum:]]{6}\.')" 2
finish
