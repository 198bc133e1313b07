# The first argument is lower-cased, and the base name ends at the first ".avi": "Clip.AVI" plays
# clip.avi, and "c:\dir.avi\clip.avi" plays the file named "c:\dir.avi" and records to "c:\dir_out.avi".
# A name with capitals that exists only as typed is played as typed and recorded after it. A recording
# replaces a link of its name instead of writing through it; one that cannot be made (its name a directory,
# a folder that cannot be written) is named on standard error, and the run goes on.
# Lanescope starts each run without a memory file, so that its recording begins with the video's frame.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
source "$here/video_cases.sh"

make_video clip.avi --frames 6 --size 320x240
cp clip.avi 'c:\dir.avi'
cp clip.avi Megamind.avi
mkdir elsewhere locked
cp clip.avi locked/
chmod 755 "$WORK" locked
if [ "$(id -u)" -eq 0 ]; then
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
else
    chmod 555 locked
    as_user=()
fi
for name in Lanescope Quadfinder; do
    run $name Clip.AVI
    expect_eq "$name Clip.AVI: exit code" "$RC" 0
    rm -f am.dat

    run $name 'C:\Dir.avi\Clip.avi' /r
    expect_eq "$name c:\\dir.avi\\clip.avi /r: exit code" "$RC" 0
    [ -e 'c:\dir_out.avi' ] || fail "$name did not record to c:\\dir_out.avi"
    "$CHECKER" 'c:\dir_out.avi' clip.avi >/dev/null || fail "$name recording of c:\\dir.avi does not match"
    rm -f 'c:\dir_out.avi' am.dat

    run $name Megamind.avi /r
    expect_eq "$name Megamind.avi: exit code" "$RC" 0
    "$CHECKER" Megamind_out.avi clip.avi >/dev/null || fail "$name recording of Megamind.avi"
    rm -f Megamind_out.avi am.dat

    echo keep >elsewhere/target.avi
    ln -sf elsewhere/target.avi clip_out.avi
    run $name clip.avi /r
    grep -qx keep elsewhere/target.avi || fail "$name clip_out.avi a link: written through"
    "$CHECKER" clip_out.avi clip.avi >/dev/null || fail "$name recording in place of a link"
    rm -f clip_out.avi am.dat

    mkdir -p clip_out.avi/inside
    run $name clip.avi /r
    expect_eq "$name clip_out.avi a directory: exit code" "$RC" 0
    expect_contains "$name clip_out.avi a directory: errors" "$ERR" "Cannot record to clip_out.avi"
    [ -d clip_out.avi/inside ] || fail "$name clip_out.avi a directory: the directory is gone"
    rm -rf clip_out.avi am.dat

    RC=0
    (cd locked && timeout -k 5 120 "${as_user[@]}" "$(program $name)" clip.avi /r >../out.txt 2>../err.txt) || RC=$?
    expect_eq "$name locked folder: exit code" "$RC" 0
    expect_contains "$name locked folder: errors" "$(cat err.txt)" "Cannot record to clip_out.avi"
    no_sanitizer_report "$name locked folder"
done
expect_eq "leftover files" "$(ls | grep -c '_out\.')" 0
finish
