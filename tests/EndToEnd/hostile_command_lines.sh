# Command lines as other programs may build them: a 255-character file name plays, 256 characters and a
# 10 000-character argument are refused with one line, thousands of empty arguments add nothing, a name in
# UTF-8 plays and records under its own bytes, and an empty argument names no source. A 243-character base
# name still gets its tracks or squares file, whose name just fits.
source "$(dirname "$0")/lib.sh"

make_video clip.avi --frames 3 --size 160x120
name251=$(printf 'v%.0s' $(seq 251))
cp clip.avi "$name251.avi"
name243=${name251:8}
cp clip.avi "$name243.avi"
utf8=$'cl\xc3\xafp'
cp clip.avi "$utf8.avi"
too_long=$'Command line too long: the arguments may hold at most 255 characters.\n'
empties=()
for i in $(seq 5000); do empties+=(""); done

for name in Lanescope Quadfinder; do
    run $name "$name251.avi"
    expect_eq "$name 255-character name: exit code" "$RC" 0
    expect_eq "$name 255-character name: first line" "$(head -n 1 out.txt)" "Processing avi file..."

    run $name "$name251.avi" x
    expect_eq "$name 256 characters: exit code" "$RC" 255
    expect_eq "$name 256 characters: output" "$OUT" "$too_long"

    run $name "$(printf 'a%.0s' $(seq 10000)).avi"
    expect_eq "$name 10 000 characters: exit code" "$RC" 255
    expect_eq "$name 10 000 characters: output" "$OUT" "$too_long"

    run $name clip.avi "${empties[@]}" /r
    expect_eq "$name 5000 empty arguments: exit code" "$RC" 0
    if [ -e clip_out.avi ]; then
        expect_eq "$name 5000 empty arguments: frames" "$(frames_of clip_out.avi)" 3
    else
        fail "$name 5000 empty arguments: \"/r\" after them was not seen"
    fi
    rm -f clip_out.avi

    run $name "$utf8.AVI" /r
    expect_eq "$name UTF-8 name: exit code" "$RC" 0
    [ -e "${utf8}_out.avi" ] || fail "$name UTF-8 name: no ${utf8}_out.avi"
    rm -f "${utf8}_out.avi"

    run $name "$name243.avi" /r
    data=$([ $name = Lanescope ] && echo tracks.txt || echo squares.csv)
    [ -f "${name243}_$data" ] || fail "$name 243-character name: no ${name243}_$data: $ERR"
    rm -f "${name243}_out.avi" "${name243}_$data"

    run $name ""
    expect_eq "$name empty argument: exit code" "$RC" 255
    expect_eq "$name empty argument: output" "$OUT" $'AVI files are processing only!\n\n'
done
finish
