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
# The Python package, when it was built, imports from the prefix's dist-packages; a sanitizer build's
# module needs the sanitizer's runtime loaded first, and the C++ runtime right after it.
module=$(ls "$prefix"/lib/python3/dist-packages/lanescope/_lanescope*.so 2>/dev/null || true)
if [ -n "$module" ]; then
    preload=$(ldd "$module" | awk '/libasan/ {print $3}')
    [ -z "$preload" ] || preload="$preload $(ldd "$module" | awk '/libstdc\+\+/ {print $3}')"
    LD_PRELOAD=$preload ASAN_OPTIONS=detect_leaks=0 PYTHONPATH="$prefix/lib/python3/dist-packages" \
        /usr/bin/python3 -c 'import lanescope, sys; sys.exit(not lanescope.__file__.startswith(sys.argv[1]))' \
        "$prefix" || { echo "lanescope does not import from $prefix" >&2; exit 1; }
fi
