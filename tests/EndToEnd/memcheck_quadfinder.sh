# Quadfinder under valgrind's memcheck: a short recorded run of drifting squares and a refused start-up
# give no invalid access and no definite leak of the program's own allocations.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
source "$here/memcheck.sh"
skip_when_instrumented Quadfinder
skip_unless_valgrind_runs Quadfinder

make_video squares.avi --squares --frames 4 --size 320x240
memcheck Quadfinder squares.avi /r
expect_clean "Quadfinder squares.avi /r" 0
expect_eq "position lines" "$(grep -c '^==> film current position: ' out.txt)" 4
[ -e squares_out.avi ] || fail "no recording"

memcheck Quadfinder missing.avi
expect_clean "Quadfinder missing.avi" 255
finish
