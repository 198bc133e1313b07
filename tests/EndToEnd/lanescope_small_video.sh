# A video smaller than 470 x 254 cannot hold the start rectangle: the first training is refused with the
# interest-area reports of Write and Read, the run goes on to the end of the video with exit code 0, and
# the saved memory holds only its root (a 93-byte "am.dat").
source "$(dirname "$0")/lib.sh"

make_video small.avi --frames 20 --size 320x240
run Lanescope small.avi /r
expect_eq "exit code" "$RC" 0
expect_contains "Write's report" "$ERR" "Incorrect size interest area in function 'CvAssociativeMemory::Write'"
expect_contains "Read's report" "$ERR" "Incorrect size of interest area in function 'CvAssociativeMemory::Read'"
"$CHECKER" small_out.avi small.avi || fail "the recording does not hold the whole video"
"$PROBE" summary small_out.avi >summary.txt || fail "no recording"
expect_eq "tracked frames after the refused training" "$(grep -c 'time=1' summary.txt)" 19
expect_eq "am.dat size" "$(stat -c %s am.dat 2>/dev/null)" 93
finish
