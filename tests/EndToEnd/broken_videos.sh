# Broken AVI files: cut short at several points, overwritten with garbage in the middle, empty, not a video
# at all, a directory or a named pipe. Each program either refuses at start-up with its one line and exit
# code -1 (255), or plays every frame that can still be decoded and ends with exit code 0: never a crash,
# a hang or a sanitizer report.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
source "$here/video_cases.sh"

make_video good.avi --frames 30 --size 160x120
size=$(stat -c %s good.avi)
# Inside the header, just past it, at a third, at two thirds, and inside the last frame.
for cut in 100 4000 $((size / 3)) $((size * 2 / 3)) $((size - 500)); do
    head -c "$cut" good.avi >"cut$cut.avi"
done
# Bytes of a program in place of 20 kB in the middle: frames there no longer decode.
cp good.avi garbage.avi
dd if="$MAKER" of=garbage.avi bs=1024 seek=$((size / 2048)) skip=4 count=20 conv=notrunc 2>/dev/null
: >zero.avi
echo "These are not the frames you are looking for." >text.avi
mkdir x.avi
# A named pipe that no one writes: opened as a file it would keep the program waiting for ever.
mkfifo fifo.avi

for name in Lanescope Quadfinder; do
    expect_refused $name cut100
    expect_refused $name cut4000
    expect_refused $name zero
    expect_refused $name text
    expect_refused $name x
    expect_refused $name fifo
    for video in "cut$((size / 3))" "cut$((size * 2 / 3))" "cut$((size - 500))" garbage; do
        expect_plays_to_the_end $name $video
    done
done
[ -d x.avi ] || fail "the directory x.avi is gone"
finish
