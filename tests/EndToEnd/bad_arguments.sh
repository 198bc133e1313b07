# Arguments that name neither an AVI file nor a device, and a command line longer than the buffers,
# end the run early with one line and exit code -1 (255).
source "$(dirname "$0")/lib.sh"

for name in Lanescope Quadfinder; do
    for args in "/? x" "movie.mpg" "/r" "Movie.MPG /r"; do
        run $name $args
        expect_eq "$name '$args' exit code" "$RC" 255
        expect_eq "$name '$args' output" "$OUT" $'AVI files are processing only!\n\n'
    done
    run $name "$(printf 'a%.0s' $(seq 300)).avi"
    expect_eq "$name long command line: exit code" "$RC" 255
    expect_eq "$name long command line: output" "$OUT" $'Command line too long: the arguments may hold at most 255 characters.\n'
done
finish
