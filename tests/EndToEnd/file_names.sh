# The first argument is lower-cased, and the base name ends at the first ".avi": "Clip.AVI" plays
# clip.avi, and "c:\dir.avi\clip.avi" plays the file named "c:\dir.avi" and records to "c:\dir_out.avi".
# Lanescope starts each run without a memory file, so that its recording begins with the video's frame.
source "$(dirname "$0")/lib.sh"

make_video clip.avi --frames 6 --size 320x240
cp clip.avi 'c:\dir.avi'
for name in Lanescope Quadfinder; do
    run $name Clip.AVI
    expect_eq "$name Clip.AVI: exit code" "$RC" 0
    rm -f am.dat

    run $name 'C:\Dir.avi\Clip.avi' /r
    expect_eq "$name c:\\dir.avi\\clip.avi /r: exit code" "$RC" 0
    [ -e 'c:\dir_out.avi' ] || fail "$name did not record to c:\\dir_out.avi"
    "$CHECKER" 'c:\dir_out.avi' clip.avi >/dev/null || fail "$name recording of c:\\dir.avi does not match"
    rm -f 'c:\dir_out.avi'
done
finish
