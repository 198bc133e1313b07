# Lanescope's memory file in a hostile folder. A working directory that its user cannot write: the run ends
# normally, says on standard error that its memory could not be saved, and the old "am.dat" stays as it
# was; one that "am.dat" cannot be read from: the file is moved aside and the run saves its own. "am.dat"
# that is a directory stays a directory; a symbolic link stays, and the memory is saved into the file it
# leads to (made when it is missing), but a link to a file that is no memory is moved aside; a file that
# another program replaces during the run is replaced whole by the run's own save at its end. The tracks
# file meets a directory and a link in its place, and the files of a run in another folder on the same
# video: the recording and the tracks file under their names come whole from the run that ended last.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
source "$here/video_cases.sh"

make_video clip.avi --frames 12
# A first run makes the memory file that the other cases start from.
run Lanescope clip.avi
expect_eq "first run: exit code" "$RC" 0
expect_saved_memory "first run"
cp am.dat first.dat

# The working directory belongs to root and is not writable by others; for root, whom permissions do
# not stop, the run is made as nobody, without an X server (no key is sent to it).
mkdir locked
cp clip.avi first.dat locked/
cp first.dat locked/am.dat
chmod 755 "$WORK" locked
chmod 644 locked/clip.avi locked/first.dat locked/am.dat
if [ "$(id -u)" -eq 0 ]; then
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups env QT_QPA_PLATFORM=offscreen)
else
    chmod 555 locked
    chmod 444 locked/am.dat
    as_user=()
fi
RC=0
(cd locked && timeout -k 5 120 "${as_user[@]}" "$LANESCOPE" clip.avi >../out.txt 2>../err.txt </dev/null) || RC=$?
chmod 755 locked
expect_eq "locked folder: exit code" "$RC" 0
cmp -s locked/am.dat first.dat || fail "locked folder: am.dat changed"
expect_eq "locked folder: entries" "$(ls locked | tr '\n' ' ')" "am.dat clip.avi first.dat "
no_sanitizer_report "locked folder"
unsaved="What was learned in this run could not be saved to am.dat (Permission denied); am.dat is left as it was"
# Run as nobody it has no window, and ends with the line that says what it wrote.
[ "$(id -u)" -ne 0 ] || unsaved+=$'\n'"This run recorded nothing (no /r); am.dat not saved (the reason is given above)."
expect_eq "locked folder: standard error" "$(grep -v -e XDG_RUNTIME_DIR -e propagateSizeHints err.txt)" "$unsaved"

mkdir shut
cp clip.avi shut/
cp first.dat shut/am.dat
chmod 200 shut/am.dat
[ "$(id -u)" -ne 0 ] || chown -R nobody shut
RC=0
(cd shut && timeout -k 5 120 "${as_user[@]}" "$LANESCOPE" clip.avi >../out.txt 2>../err.txt </dev/null) || RC=$?
expect_eq "unreadable am.dat: exit code" "$RC" 0
expect_contains "unreadable am.dat: message" "$(cat err.txt)" "am.dat could not be used (it cannot be read: Permission denied); it is kept as am.dat.unusable-1 and a fresh memory is used"
cmp -s shut/am.dat.unusable-1 first.dat || fail "unreadable am.dat: not kept as it was"
(cd shut && expect_saved_memory "unreadable am.dat")

# am.dat as a directory.
rm am.dat
mkdir -p am.dat/inside
run Lanescope clip.avi
expect_eq "am.dat a directory: exit code" "$RC" 0
[ -d am.dat/inside ] || fail "am.dat a directory: the directory is gone"
rmdir am.dat/inside am.dat

# am.dat as a symbolic link to a file elsewhere that is no memory, to a memory kept elsewhere (of the older
# version, which the save rewrites as the current one), and a dangling one.
mkdir elsewhere shared fresh
echo keep >elsewhere/target.dat
ln -s elsewhere/target.dat am.dat
run Lanescope clip.avi
expect_eq "am.dat a link to a foreign file: exit code" "$RC" 0
expect_eq "am.dat a link to a foreign file: the target" "$(cat elsewhere/target.dat)" keep
[ -L am.dat.unusable-1 ] || fail "am.dat a link to a foreign file: the link is not kept aside"
expect_saved_memory "am.dat a link to a foreign file"
rm am.dat
{ printf 'AMv0.2'; tail -c +7 first.dat; } >shared/am.dat
ln -s shared/am.dat am.dat
run Lanescope clip.avi
expect_contains "am.dat a link to a memory: read" "$OUT" "Load associative bases from file: am.dat"
[ -L am.dat ] || fail "am.dat a link to a memory: the link is replaced"
cd shared
expect_saved_memory "am.dat a link to a memory"
cd ..
rm am.dat
ln -s fresh/am.dat am.dat
run Lanescope clip.avi
[ -L am.dat ] || fail "am.dat a dangling link: the link is replaced"
cd fresh
expect_saved_memory "am.dat a dangling link"
cd ..
rm am.dat

# Replaced by another program while the run plays a longer video; the run's own save replaces it whole.
make_video long.avi --frames 150
cp first.dat am.dat
start Lanescope long.avi
wait_window || true
printf 'AMv0.3\0\0\0\0\0' >replacement.dat
mv replacement.dat am.dat
wait_exit 200
expect_eq "replaced during the run: exit code" "$RC" 0
expect_saved_memory "replaced during the run"
expect_eq "leftover files" "$(ls -A . shared fresh | grep -c '^\.am\.dat\.saving-')" 0

# The tracks file of a recording run: a directory in its place is named on standard error and the run goes
# on without it; a symbolic link is replaced, never written through.
mkdir clip_tracks.txt
run Lanescope clip.avi /r
expect_eq "tracks file a directory: exit code" "$RC" 0
expect_contains "tracks file a directory: message" "$ERR" "clip_tracks.txt"
expect_eq "tracks file a directory: leftover files" "$(ls | grep -cE '^clip_tracks\.[[:alnum:]]{6}\.txt$')" 0
rmdir clip_tracks.txt
ln -s elsewhere/target.dat clip_tracks.txt
run Lanescope clip.avi /r
expect_eq "tracks file a link: the target" "$(cat elsewhere/target.dat)" keep
[ -f clip_tracks.txt ] && [ ! -L clip_tracks.txt ] || fail "tracks file a link: not replaced by a file"

# A run that tracks, held stopped while a run from another folder with a fresh memory plays the same video
# to its end, then ended last. Neither takes the other's files for unfinished ones.
mkdir tracking other
cp first.dat tracking/am.dat
cd tracking
start Lanescope ../long.avi /r
wait_window
for i in $(seq 100); do ls .. | grep '^long_tracks\.' >/dev/null && break; sleep 0.1; done
kill -STOP "$STARTED_PID"
cd ../other
run Lanescope ../long.avi /r
cd ..
kill -CONT "$STARTED_PID"
wait_exit 200
expect_eq "runs side by side: exit code" "$RC" 0
[ -s long_tracks.txt ] || fail "runs side by side: the tracks file is not the tracking run's"
"$PROBE" tracks long_out.avi long_tracks.txt >/dev/null || fail "runs side by side: files of two runs"
grep -h "earlier run" tracking/err.txt other/err.txt && fail "runs side by side: a running run's files named"
finish
