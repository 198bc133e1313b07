# The hand-made ground truth of the people in vtest.avi guards itself: the full file is exactly what the
# key frames make, every box lies in the 768 x 576 picture, and LanescopeEval reads it and scores it
# perfect against itself. Needs KEYS and EVAL in the environment; $1 is the folder of the data.
set -euo pipefail
keys="$1/vtest_people_keys.txt"
truth="$1/vtest_people_gt.txt"
"$KEYS" "$keys" --size 768x576 | cmp - "$truth"
awk -F, '$3 < 0 || $4 < 0 || $3 + $5 > 768 || $4 + $6 > 576 { print "outside the picture: line " NR ": " $0; bad = 1 }
         END { exit bad }' "$truth"
"$EVAL" "$truth" "$truth" | grep -qx 'MOTA 1.0000'
