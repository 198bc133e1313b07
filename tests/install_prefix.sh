# cmake --install puts every program and tool under the prefix's bin, and an installed one runs from there.
#   bash install_prefix.sh BUILD_DIR
set -euo pipefail
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null
for program in Lanescope Quadfinder TrafficVideoMaker LanescopeTeacher LanescopeEval; do
    [ -x "$prefix/bin/$program" ] || { echo "not installed: bin/$program" >&2; exit 1; }
done
cd "$prefix"
bin/TrafficVideoMaker --frames 3 --size 160x120 v.avi
bin/LanescopeEval v_gt.txt v_gt.txt | grep -x "MOTA 1.0000"
