#!/usr/bin/env bash
# Measures Lanescope against its peers on one synthetic traffic video of fixed seed (300 frames): Lanescope
# taught by LanescopeTeacher on the first 100 frames and run without a window over the whole video with
# "/r" (its tracks beside the recording), OpenCV's KCF and CSRT started from each vehicle's true box,
# and the fixed-camera pipeline of MOG2 background subtraction with IoU association. Prints one table of
# the measures on frames 101-300, which the teaching never saw, and fails when any cell of it is empty.
#   bash scripts/compare-trackers.sh [--quick] [--built DIR] [seed]          (default seed 5)
# --quick: 30 frames, taught on the first 10, the benchmark run briefly: a check that the table fills,
#          not a measurement (CTest runs it).
# --built DIR: the programs already built in DIR; nothing is installed or built.
set -euo pipefail

source "$(dirname "$0")/lib.sh"
seed=5
frames=300
taught=100
build=$root/build
built=0
bench_options=()
while [ $# -gt 0 ]; do
    case $1 in
    --quick) frames=30 taught=10 bench_options=(--benchmark_min_time=0.01) ;;
    --built) build=$(cd "${2:?--built needs the build directory}" && pwd); built=1; shift ;;
    *) seed=$1 ;;
    esac
    shift
done
scored=$((taught + 1))-$frames
if [ $built = 0 ]; then
    bash "$root/scripts/setup.sh"
    configure_build "$build" Release -DLANESCOPE_BENCHMARKS=ON
    cmake --build "$build" -j2 --target Lanescope TrafficVideoMaker LanescopeTeacher LanescopeEval PeerTrackers \
        LanescopeFrameBench >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$build/tools/TrafficVideoMaker/TrafficVideoMaker" --frames $frames --seed "$seed" traffic.avi
"$build/tools/LanescopeTeacher/LanescopeTeacher" traffic.avi traffic.csv am.dat --frames $taught >/dev/null

# Without DISPLAY Lanescope runs windowless and ends with the video; the wall time of that run includes
# start-up, decoding and the recording that "/r" makes, so the table takes Lanescope's per-frame work from
# its frame loop's benchmark, decoding excluded as in the peers' figures. The benchmark's name carries its
# measuring options ("BM_FrameWork/process_time/real_time"); its second column is the time that passes.
# A benchmark that fails leaves the figure empty, which the table then refuses.
frame_work_ms=$("$build/bench/Lanescope/LanescopeFrameBench" --benchmark_filter='^BM_FrameWork' \
    "${bench_options[@]}" 2>/dev/null | awk '!found && $1 ~ /^BM_FrameWork(\/|$)/ { print $2; found = 1 }' ||
    true)
start=$(date +%s%N)
lanescope_ok=1
env -u DISPLAY timeout 900 "$build/src/Lanescope/Lanescope" traffic.avi /r >lanescope.log 2>&1 </dev/null ||
    lanescope_ok=0
lanescope_ms=$(awk -v ns=$(($(date +%s%N) - start)) -v n=$frames 'BEGIN { printf "%.2f", ns / 1e6 / n }')
[ -s traffic_tracks.txt ] || lanescope_ok=0

"$build/bench/Peers/PeerTrackers" traffic.avi traffic_gt.txt traffic >peers.txt

# figure WHAT VALUE: VALUE, or the end of the run when it is not a number (a figure that went missing).
figure() {
    if [[ ! $2 =~ ^-?[0-9]+(\.[0-9]+)?$ ]]; then
        echo "compare-trackers: no figure for $1 (got \"$2\")" >&2
        exit 1
    fi
    echo "$2"
}

# measure NAME: the value of NAME in the "name value" lines on standard input (LanescopeEval's, the peers').
measure() { awk -v m="$1" '$1 == m { print $2 }'; }
# row NAME TRACKS MS: one line of the table, the measures from LanescopeEval.
row() {
    local scores
    scores=$("$build/tools/LanescopeEval/LanescopeEval" traffic_gt.txt "$2" --frames $scored)
    # Each figure is taken apart, so that a missing one ends the run (set -e) instead of printing empty.
    local mota idf1 motp switches ms
    mota=$(figure "$1 MOTA" "$(measure MOTA <<<"$scores")")
    idf1=$(figure "$1 IDF1" "$(measure IDF1 <<<"$scores")")
    motp=$(figure "$1 MOTP" "$(measure MOTP <<<"$scores")")
    switches=$(figure "$1 ID switches" "$(measure switches <<<"$scores")")
    ms=$(figure "$1 ms/frame" "$3")
    printf "%-10s %7.3f %7.3f %7.3f %6d %9s\n" "$1" "$mota" "$idf1" "$motp" "$switches" "$ms"
}
peer_ms() { measure "$1" <peers.txt; }

echo "Synthetic traffic, seed $seed, 640x480, $frames frames; scored on frames $scored at IoU >= 0.5"
printf "%-10s %7s %7s %7s %6s %9s\n" method MOTA IDF1 MOTP IDsw ms/frame
if [ $lanescope_ok = 1 ]; then
    row Lanescope traffic_tracks.txt "$frame_work_ms"
else
    printf "%-10s %7s %7s %7s %6s %9s\n" Lanescope - - - - -
fi
row KCF traffic_kcf.txt "$(peer_ms kcf)"
row CSRT traffic_csrt.txt "$(peer_ms csrt)"
row MOG2+IoU traffic_mog2.txt "$(peer_ms mog2)"
decoding_ms=$(figure decoding "$(peer_ms decoding)")
echo "ms/frame: the work of each method per frame, decoding excluded (decoding took $decoding_ms ms/frame);"
echo "Lanescope's from LanescopeFrameBench (BM_FrameWork); its whole run here, with start-up, decoding and"
echo "recording, took $lanescope_ms ms/frame."
echo "KCF and CSRT start from each vehicle's true box once it is wholly in view, again at each passage;"
echo "MOG2 needs a still camera and no first boxes."
if [ $lanescope_ok = 0 ]; then
    echo "Lanescope gave no tracks (traffic_tracks.txt); its output:" >&2
    tail -n 20 lanescope.log >&2
    exit 1
fi
