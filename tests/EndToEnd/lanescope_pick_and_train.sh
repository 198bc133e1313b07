# Picking and training in Lanescope's window with real keys and mouse: t stops the video (the recorded
# frames repeat), the green selection follows the pointer, p at Type1 stays there, n pressed 300 times
# stops at Type256, a left click trains the next frame at the clicked corner (red) under the type shown,
# ESC while picking resumes the video and a second ESC quits with exit code 0; a left click while the
# video runs does nothing. The tracks file numbers the video's frames, not the cycles on a paused frame.
source "$(dirname "$0")/lib.sh"

make_video long.avi --frames 400

# settle: lets the program run a few cycles (one cycle is a frame and a 10 ms key poll).
settle() { sleep "${1:-1}"; }
# The program takes one key per cycle and a key that arrives while another waits is lost, so keys are
# sent no faster than a cycle of the build under test runs, with room for a busy machine.
if ldd "$LANESCOPE" | grep libasan >/dev/null; then KEY_DELAY=120; else KEY_DELAY=40; fi
# keys KEY COUNT: sends KEY COUNT times.
keys() { xdotool key --window "$WID" --repeat "$2" --delay "$KEY_DELAY" "$1" 2>/dev/null; }
mouse() { xdotool mousemove --window "$WID" "$1" "$2" 2>/dev/null; }
click() { xdotool click --window "$WID" 1 2>/dev/null; }

start Lanescope long.avi /r
wait_window
settle 2
# A click while the video runs: nothing is picked, nothing trained.
mouse 200 200
click
settle 1
# Pick: stop, move the pointer to two places.
key t
settle 1
mouse 150 120
settle 1
mouse 60 200
settle 1
keys p 5
settle 1
keys n 300
settle 2
keys p 2
settle 1
click
settle 1
key t
settle 1
key Escape
settle 1
wait_exit 1
expect_eq "after ESC while picking" "$RC" running
key Escape
wait_exit 60
expect_eq "exit code after the second ESC" "$RC" 0
"$PROBE" summary long_out.avi >summary.txt || fail "no recording to read back"

# near "X,Y" X0 Y0: true when the corner lies within 2 pixels of (X0, Y0), as Motion JPEG blurs edges.
near() {
    local x=${1%,*} y=${1#*,}
    [ $((x - $2)) -ge -2 ] && [ $((x - $2)) -le 2 ] && [ $((y - $3)) -ge -2 ] && [ $((y - $3)) -le 2 ]
}
field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p"; }

grabbed=$(grep -c 'green=-' summary.txt)
expect_eq "tracks past the $grabbed video frames or twice in a frame" \
    "$(awk -F, -v n="$grabbed" '$1 > n || seen[$1 "," $2]++' long_tracks.txt)" ""

# Red rectangles: the start rectangle on frame 0 of the fresh memory, then only the clicked one.
reds=$(awk '$3 != "red=-" {print $1}' summary.txt | tr '\n' ' ')
red_frames=($reds)
expect_eq "frames with a red rectangle (the first training frame and the clicked one)" "${#red_frames[@]}" 2
near "$(sed -n 1p summary.txt | field red)" 370 154 || fail "frame 0 is not trained at 370,154"
trained=${red_frames[1]:-0}
trained_line=$(sed -n "$((trained + 1))p" summary.txt)
expect_contains "the clicked training frame has no tracking step" "$trained_line" "time=0"

# Before the first t nothing is picked: the click while the video ran drew nothing.
first_pick=$(awk '$2 != "green=-" {print $1; exit}' summary.txt)
[ -n "$first_pick" ] || fail "t showed no selection"
near "$(sed -n "$((first_pick + 1))p" summary.txt | field green)" 370 154 || fail "the selection does not start at 370,154"

# While picking the frame stands still: from one recorded frame to the next only drawings change, while
# a running video changes nearly every pixel.
moving=$(awk -v a="$first_pick" -v b="$trained" '$1 > a && $1 < b {sub("changed=", "", $6); if ($6 + 0 >= 50) print}' summary.txt)
expect_eq "picking frames that show another video frame" "$moving" ""
[ $((trained - first_pick)) -gt 20 ] || fail "too few picking frames: $first_pick..$trained"

# The selection followed the pointer to two places, the second left of and below the first.
corners=$(awk -v a="$first_pick" -v b="$trained" '$1 >= a && $1 < b {print $2}' summary.txt | uniq | sed 's/green=//' | tr '\n' ' ')
corner_list=($corners)
expect_eq "selection corners while picking ($corners)" "${#corner_list[@]}" 3
if [ "${#corner_list[@]}" -eq 3 ]; then
    second=${corner_list[1]} third=${corner_list[2]}
    [ "${third%,*}" -lt "${second%,*}" ] && [ "${third#*,}" -gt "${second#*,}" ] ||
        fail "the selection did not follow the pointer: $corners"
    near "$(echo "$trained_line" | field red)" "${third%,*}" "${third#*,}" || fail "training not at the clicked corner"
fi

# p at Type1 stays there; n 300 times stops at Type256; two p give Type254, which is trained.
labels=$(awk -v a="$first_pick" -v b="$trained" '$1 >= a && $1 < b {print $4}' summary.txt | uniq | tr '\n' ' ')
first_labels=$(echo "$labels" | awk '{print $1, $2}')
expect_eq "first labels while picking" "$first_labels" "label=Type1 label=Type2"
last_labels=$(echo "$labels" | awk '{print $(NF-2), $(NF-1), $NF}')
expect_eq "labels before the click" "$last_labels" "label=Type256 label=Type255 label=Type254"

# After the training frame the video runs again, then t stops it once more and ESC resumes it.
resumed=$(awk -v b="$trained" '$1 == b + 1 {print $2, $6}' summary.txt)
case "$resumed" in "green=- changed="[5-9]? | "green=- changed=100") ;; *) fail "video did not run on after training: $resumed" ;; esac
second_pick=$(awk -v b="$trained" '$1 > b && $2 != "green=-" {print $1; exit}' summary.txt)
[ -n "$second_pick" ] || fail "the second t showed no selection"
after=$(awk -v a="${second_pick:-0}" '$1 > a && $2 == "green=-" {sub("changed=", "", $6); if ($6 + 0 >= 50) print}' summary.txt | wc -l)
[ "$after" -gt 3 ] || fail "ESC while picking did not resume the video ($after frames after it)"
finish
