# The peers' tracks are in the video file's coordinates and the scorer reads them: on a short synthetic video
# KCF, started from the true boxes, scores well, and the background pipeline finds vehicles once its
# background has settled. Needs MAKER, PEERS and EVAL in the environment.
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$MAKER" --frames 100 traffic.avi
"$PEERS" traffic.avi traffic_gt.txt traffic --methods kcf,mog2 >/dev/null
score() { "$EVAL" traffic_gt.txt "$1" --frames "$2" | awk -v m="$3" '$1 == m { print $2 }'; }
kcf=$(score traffic_kcf.txt 1-100 MOTA)
mog2=$(score traffic_mog2.txt 61-100 recall)
echo "KCF MOTA $kcf, MOG2 recall $mog2"
awk -v k="$kcf" -v m="$mog2" 'BEGIN { exit !(k > 0.5 && m > 0.3) }'
