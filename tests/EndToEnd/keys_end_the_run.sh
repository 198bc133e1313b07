# Lanescope ends early on ESC and not on other keys; Quadfinder ends on any key. Either way the exit code
# is 0 and the recording holds the frames shown so far.
source "$(dirname "$0")/lib.sh"

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
finish
