# cmake --install puts every program and tool under the prefix's bin, and an installed one runs from there.
#   bash install_prefix.sh BUILD_DIR
set -euo pipefail
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null
for program in Lanescope Quadfinder LanescopeBatch QuadfinderBatch TrafficVideoMaker LanescopeTeacher LanescopeEval; do
    [ -x "$prefix/bin/$program" ] || { echo "not installed: bin/$program" >&2; exit 1; }
done
cd "$prefix"
bin/TrafficVideoMaker --frames 3 --size 160x120 v.avi
bin/LanescopeEval v_gt.txt v_gt.txt | grep -x "MOTA 1.0000"
# Frames without ground truth score nothing: a reason and exit 1, not a row of zeros.
status=0
bin/LanescopeEval v_gt.txt v_gt.txt --frames 50-60 >scores.txt 2>why.txt || status=$?
[ "$status" -eq 1 ] && [ ! -s scores.txt ] && grep -q "^LanescopeEval: nothing was scored: no box of v_gt.txt" why.txt ||
    { echo "LanescopeEval on frames 50-60 exited $status: $(cat why.txt)" >&2; exit 1; }
