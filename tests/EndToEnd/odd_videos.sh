# Videos of unusual shape: a single frame, a 1 x 1 picture and a 3840 x 2160 picture. Both programs play
# every frame and end with exit code 0, never a crash, a hang or a sanitizer report.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
source "$here/video_cases.sh"

make_video one.avi --frames 1 --size 160x120
make_video huge.avi --frames 2 --size 3840x2160
# The maker draws no picture smaller than 16 x 16; FFmpeg writes three raw 1 x 1 frames.
head -c 9 /dev/zero | tr '\0' '\100' |
    ffmpeg -v error -f rawvideo -pix_fmt bgr24 -s 1x1 -r 25 -i - -c:v rawvideo tiny.avi ||
    { echo "cannot make tiny.avi" >&2; exit 2; }

for name in Lanescope Quadfinder; do
    expect_plays_to_the_end $name one
    expect_plays_to_the_end $name huge
    # The Motion JPEG encoder takes no 1 x 1 picture.
    expect_plays_to_the_end $name tiny unrecordable
done
expect_eq "frames of one.avi" "$(frames_of one.avi)" 1
finish
