# Lanescope's first run without "am.dat" trains the first frame on the start rectangle (red, 370,154),
# tracks from the second frame on and writes "am.dat" ("AMv0.3", packed size 40 x (bases + 1) + data
# bytes); a second run in the same folder reports the loaded memory and tracks from its first frame.
# A file that cannot be used, a named pipe among them, is moved aside to a free name and said so on
# standard error, and the new files of a save that was killed are removed, the user's own files beside
# "am.dat" kept. Of two runs in one folder, or in two folders linking one memory, the second says that the
# memory is in use and does not save; the teacher then writes nothing. A memory taught with the objects'
# own size and shape keeps it through a run.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
source "$here/video_cases.sh"

HELP=$'Hot keys: \n\tESC - quit the program\n\tt - stop the tracking and pick object for training\n\tn - next type\n\tp - previous type\n'
field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p"; }
# u32 FILE OFFSET: the little-endian 32-bit number at OFFSET.
u32() { od -An -tu4 -j "$2" -N4 --endian=little "$1" | tr -d ' '; }

make_video clip.avi --frames 24

run Lanescope clip.avi /r
expect_eq "first run: exit code" "$RC" 0
expect_eq "first run: output" "$OUT" "Processing avi file..."$'\n'"$HELP"
"$PROBE" summary clip_out.avi >first.txt || fail "first run: no recording"
expect_eq "first run: recorded frames" "$(wc -l <first.txt)" 24
first=$(sed -n 1p first.txt)
corner=$(echo "$first" | field red)
x=${corner%,*} y=${corner#*,}
[ "${x:-0}" -ge 368 ] && [ "${x:-0}" -le 372 ] && [ "${y:-0}" -ge 152 ] && [ "${y:-0}" -le 156 ] ||
    fail "first run: frame 0 has no red rectangle at 370,154: $first"
expect_contains "first run: frame 0 is not tracked" "$first" "time=0"
second=$(sed -n 2p first.txt)
expect_contains "first run: frame 1 is tracked" "$second" "time=1"
expect_contains "first run: frame 1 is not trained" "$second" "red=-"
expect_eq "first run: tracked frames" "$(grep -c 'time=1' first.txt)" 23

[ -f am.dat ] || fail "first run: no am.dat"
expect_eq "am.dat signature" "$(head -c 7 am.dat | od -An -c | tr -s ' ')" " A M v 0 . 3 \\0"
packed=$(u32 am.dat 7)
expect_eq "am.dat: size = 11 + packed size" "$(stat -c %s am.dat)" $((11 + packed))
data_bytes=$("$PROBE" trained clip.avi)
cp am.dat first.dat

run Lanescope clip.avi /r
expect_eq "second run: exit code" "$RC" 0
bases=$(echo "$OUT" | sed -n 's/^Associative bases \.\.\.\.\.\.\.\.\. \([0-9]*\) *$/\1/p')
expect_contains "second run: load report" "$OUT" $'Processing avi file...\n\n  Load associative bases from file: am.dat\nAssociative bases ......... '
echo "$OUT" | grep -Eq '^Associative Levels \.{8} [0-9]+ *$' || fail "second run: no level count in [$OUT]"
echo "$OUT" | grep -Eq '^Current base index \.{8} [0-9]+ *$' || fail "second run: no base index in [$OUT]"
echo "$OUT" | grep -Eq '^Wr/Rd counter \.{13} [0-9]+ *$' || fail "second run: no access count in [$OUT]"
expect_contains "second run: help after the report" "$OUT" $'\n\n'"$HELP"
expect_eq "first am.dat: packed size = 40 x (bases + 1) + data bytes ($bases bases, $data_bytes data bytes)" \
    "$packed" $((40 * (${bases:-0} + 1) + ${data_bytes:-0}))
"$PROBE" summary clip_out.avi >second.txt || fail "second run: no recording"
expect_eq "second run: trained frames" "$(grep -vc 'red=-' second.txt)" 0
expect_eq "second run: tracked frames" "$(grep -c 'time=1' second.txt)" 24
expect_eq "second am.dat signature" "$(head -c 6 am.dat)" "AMv0.3"

# LanescopeTeacher leaves an existing am.dat as it was when it teaches nothing (the one box's area reaches
# outside the frame) or when its save fails (a full disk, the old file of the very size it would write),
# names only the file it cannot read or write, and prints its usage on --help.
cp am.dat kept.dat
printf 'frame,id,x,y,width,height\n0,1,0,0,30,30\n' >edge.csv
"$TEACHER" clip.avi edge.csv am.dat >out.txt 2>err.txt && fail "teacher: success though nothing was taught"
cmp -s am.dat kept.dat || fail "teacher: am.dat replaced though nothing was taught"
for missing in "none.avi edge.csv" "clip.avi none.csv"; do
    "$TEACHER" $missing am.dat >out.txt 2>err.txt && fail "teacher $missing: success"
    grep -q "cannot read .*none\." err.txt && ! grep -Eq "clip\.avi|edge\.csv" err.txt ||
        fail "teacher $missing: not only the unread file is named: $(cat err.txt)"
done
"$TEACHER" clip.avi clip.csv nowhere/am.dat >out.txt 2>err.txt && fail "teacher: success though am.dat was not written"
grep -q "cannot write nowhere/am.dat" err.txt || fail "teacher: the unwritten file is not named: $(cat err.txt)"
"$TEACHER" clip.avi clip.csv taught.dat >out.txt 2>err.txt || fail "teacher: exit code $(cat err.txt)"
cp taught.dat taught_before.dat
RC=0
(ulimit -f 8 && trap '' XFSZ && "$TEACHER" clip.avi clip.csv taught.dat >out.txt 2>err.txt) || RC=$?
expect_eq "teacher on a full disk: exit code and message" "$RC $(cat err.txt)" \
    "1 LanescopeTeacher: cannot write taught.dat (File too large); taught.dat is left as it was"
cmp -s taught.dat taught_before.dat || fail "teacher on a full disk: taught.dat changed"
"$TEACHER" --help >out.txt 2>err.txt || fail "teacher --help: exit code"
grep -q '^usage: LanescopeTeacher' out.txt || fail "teacher --help: no usage"

# Taught from the cyclists and people of a --tall video (about 20 x 61), the memory takes their median
# size, made 40 wide; am.dat keeps that area through Lanescope's run, whose tracks have the memory's shape.
# Half as wide as the area, they fit no window of the scan at the default overlap: the teacher says so
# and leaves am.dat alone, and --overlap 0.5 teaches them.
mkdir tall
cd tall
make_video tall.avi --frames 24 --tall
"$TEACHER" tall.avi tall.csv am.dat --ids 7,8,9,10,11,12 >out.txt 2>err.txt && fail "tall: taught at IoU 0.6"
grep -q "fit no window of the scan at IoU 0.6; --overlap 0.5" err.txt || fail "tall: no advice: $(cat err.txt)"
"$TEACHER" tall.avi tall.csv am.dat --ids 7,8,9,10,11,12 --overlap 0.5 >out.txt 2>err.txt ||
    fail "tall: teacher $(cat err.txt)"
area=$(sed -n 's/^Area \([0-9]*\)x\([0-9]*\):.*/\1 \2/p' out.txt)
expect_eq "tall: the area chosen and kept in am.dat" "$area $(u32 am.dat 11) $(u32 am.dat 15)" "40 61 40 61"
run Lanescope tall.avi /r
expect_eq "tall: Lanescope's area after its save" "$RC $(u32 am.dat 11) $(u32 am.dat 15)" "0 40 61"
[ -s tall_tracks.txt ] && awk -F, '$5 >= $6 { exit 1 }' tall_tracks.txt ||
    fail "tall: no tracks, or a box not of the memory's shape: $(head -n 3 tall_tracks.txt)"
cd ..

head -c 100 first.dat >am.dat
printf 'old' >am.dat.unusable-1
printf 'killed' >.am.dat.saving-Xy12Z9
printf 'killed' >.am.dat.saving-a1b2c3
printf 'mine' >am.dat.Xy12Z9
printf 'mine' >am.dat.backup
run Lanescope clip.avi
expect_eq "cut am.dat: exit code and output" "$RC $OUT" "0 Processing avi file..."$'\n'"$HELP"
expect_contains "cut am.dat: message" "$ERR" "am.dat could not be used (it is damaged or cut short); it is kept as am.dat.unusable-2 and a fresh memory is used"
cmp -s am.dat.unusable-2 <(head -c 100 first.dat) || fail "cut am.dat: not kept as it was"
expect_eq "cut am.dat: the name taken before" "$(cat am.dat.unusable-1)" old
expect_contains "killed saves: message" "$ERR" "Removed 2 unfinished saves of am.dat left by an earlier run"
expect_eq "killed saves: left" "$(ls -A | grep -c '^\.am\.dat\.saving-')" 0
expect_eq "the user's files beside am.dat" "$(cat am.dat.Xy12Z9 am.dat.backup)" minemine
expect_saved_memory "cut am.dat"
rm am.dat
mkfifo am.dat
run Lanescope clip.avi
expect_contains "am.dat a pipe: message" "$ERR" "am.dat could not be used (it is not a regular file); it is kept as am.dat.unusable-3"
[ -p am.dat.unusable-3 ] || fail "am.dat a pipe: not kept"
expect_saved_memory "am.dat a pipe"

# The first run is held on one frame by t (pick mode) while the others run; ESC lets it play to its end.
make_video long.avi
cp first.dat am.dat
"$LANESCOPE" long.avi >long_out.txt 2>long_err.txt </dev/null &
STARTED_PID=$!
wait_window
key t
in_use="am.dat is in use by another Lanescope run or by LanescopeTeacher; what this run learns will not be saved"
run Lanescope clip.avi
expect_eq "run beside another: exit code" "$RC" 0
expect_contains "run beside another: message" "$ERR" "$in_use"
mkdir linked
ln -s ../am.dat linked/am.dat
cd linked
run Lanescope ../clip.avi
cd ..
expect_contains "run linking the memory of another: message" "$ERR" "$in_use"
RC=0
"$TEACHER" clip.avi clip.csv am.dat >out.txt 2>err.txt || RC=$?
expect_eq "teacher beside a run: exit code and message" "$RC $(cat err.txt)" \
    "1 LanescopeTeacher: am.dat is in use by a Lanescope run or another LanescopeTeacher; nothing was written"
cmp -s am.dat first.dat || fail "runs beside another: am.dat saved"
key Escape
wait_exit 100
expect_eq "the other run: exit code" "$RC" 0
cmp -s am.dat first.dat && fail "the other run: am.dat not saved"
expect_saved_memory "the other run"
finish
