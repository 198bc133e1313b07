# A digit selects a capture device; these machines have none, so opening fails with the one message on
# standard error and exit code -1 (255).
source "$(dirname "$0")/lib.sh"

for name in Lanescope Quadfinder; do
    for args in "3" "3 /r" "7clip.avi"; do
        run $name $args
        expect_eq "$name '$args' exit code" "$RC" 255
        expect_eq "$name '$args' output" "$OUT" $'Processing capture...\n'
        expect_contains "$name '$args' errors" "$ERR" "Could not initialize capturing..."
    done
    [ ! -e _out.avi ] || fail "$name made a recording although the camera failed"
done
finish
