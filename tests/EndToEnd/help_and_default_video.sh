# No argument and the single argument "/?" print the help text and play TrafficTest1f1.avi; without that
# file the run ends early with exit code -1 (255), and with it the video plays to its end.
source "$(dirname "$0")/lib.sh"

help_lanescope=$'\n\n=== Lanescope help ===\n\nLanescope.exe [file.avi | 0..9] [/r ]\n 0..9 - capture device number\n /r   - write result in file_out.avi\n'
help_quadfinder=$'\n\n=== Quadfinder help ===\n\nPalmaro.exe [file.avi | 0..9] [/r ]\n 0..9 - capture device number\n /r   - write result in file_out.avi\n'

for name in Lanescope Quadfinder; do
    if [ $name = Lanescope ]; then help=$help_lanescope; else help=$help_quadfinder; fi
    for args in "" "/?"; do
        run $name $args
        expect_eq "$name '$args' exit code" "$RC" 255
        expect_eq "$name '$args' output" "$OUT" "${help}Processing avi file..."$'\n'"Can't find file TrafficTest1f1.avi"$'\n'
    done
done

make_video TrafficTest1f1.avi --frames 8
for name in Lanescope Quadfinder; do
    run $name
    expect_eq "$name with the default video: exit code" "$RC" 0
    expect_contains "$name with the default video: output" "$OUT" "Processing avi file..."
    [ ! -e TrafficTest1f1_out.avi ] || fail "$name recorded without /r"
done
finish
