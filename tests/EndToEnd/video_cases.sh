# Expectations shared by the scenarios of broken and unusual videos; sourced after lib.sh.

# no_sanitizer_report WHAT: fails when the last run's standard error holds a sanitizer's report.
no_sanitizer_report() {
    if grep -qE 'ERROR: (Address|Leak)Sanitizer|runtime error:' err.txt; then
        fail "$1: sanitizer report"
    fi
}

# expect_refused NAME VIDEO: NAME refuses VIDEO.avi at start-up with its one line and exit code -1, says on
# standard error that the file is there but cannot be played, and Lanescope leaves "am.dat" as it was.
expect_refused() {
    printf 'old memory' >am.dat
    run "$1" "$2.avi"
    expect_eq "$1 $2.avi: exit code" "$RC" 255
    expect_eq "$1 $2.avi: output" "$OUT" "Processing avi file..."$'\n'"Can't find file $2.avi"$'\n'
    expect_contains "$1 $2.avi: errors" "$ERR" "$2.avi exists but"
    no_sanitizer_report "$1 $2.avi"
    expect_eq "$1 $2.avi: am.dat" "$(cat am.dat)" "old memory"
    rm -f am.dat
}

# expect_plays_to_the_end NAME VIDEO [unrecordable]: NAME plays every frame of VIDEO.avi that FFmpeg can
# decode, records each of them with "/r", ends with exit code 0, and Lanescope saves its memory. With
# "unrecordable", a picture that the encoder refuses, the run goes on without a recording and says so.
expect_plays_to_the_end() {
    local name=$1 video=$2 unrecordable=${3:-} readable recorded
    readable=$(frames_of "$video.avi" 2>/dev/null || echo 0)
    rm -f "${video}_out.avi" am.dat
    run "$name" "$video.avi" /r
    expect_eq "$name $video.avi: exit code" "$RC" 0
    no_sanitizer_report "$name $video.avi"
    expect_eq "$name $video.avi: first line" "$(head -n 1 out.txt)" "Processing avi file..."
    if [ "$name" = Quadfinder ]; then
        expect_eq "$name $video.avi: position lines" "$(grep -c '^==> film current position: ' out.txt)" \
            "$readable"
    fi
    if [ -e "${video}_out.avi" ]; then
        recorded=$(frames_of "${video}_out.avi" 2>/dev/null || echo 0)
        expect_eq "$name $video.avi: frames recorded" "$recorded" "$readable"
    elif [ -z "$unrecordable" ]; then
        fail "$name $video.avi: no recording"
    else
        expect_contains "$name $video.avi: errors" "$ERR" "Cannot record to ${video}_out.avi"
    fi
    [ "$name" = Lanescope ] && expect_saved_memory "$name $video.avi"
    rm -f "${video}_out.avi" am.dat
}

# expect_saved_memory WHAT: "am.dat" is a whole memory file as Lanescope saves it: the signature "AMv0.3",
# then the packed size, and exactly that many bytes after the 11-byte header.
expect_saved_memory() {
    if [ ! -f am.dat ] || [ -L am.dat ]; then
        fail "$1: no am.dat file"
        return
    fi
    expect_eq "$1: signature" "$(head -c 6 am.dat)" "AMv0.3"
    local packed
    packed=$(od -An -tu4 -j7 -N4 am.dat | tr -d ' ')
    expect_eq "$1: size of am.dat" "$(stat -c %s am.dat)" $((11 + packed))
}
