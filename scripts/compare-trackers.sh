#!/usr/bin/env bash
# Measures Lanescope against its peers in every situation that traffic cameras meet, on synthetic videos of
# several seeds, and on the people of a real street video. For each video Lanescope is taught by
# LanescopeTeacher from the ground truth of its first frames and run without a window over the whole video
# with "/r" (its tracks beside the recording); OpenCV's KCF and CSRT start from each object's true box and
# MOG2 background subtraction with IoU association needs nothing. LanescopeEval scores every method on the
# frames after the teaching. Prints one table with a row per situation and method (mean ± standard
# deviation over the seeds) and one for the people, and fails when any cell of them is empty.
#
#   bash scripts/compare-trackers.sh [--quick] [--built DIR] [--seeds "31 32 33 34 35"]
#        [--situations "plain stop-and-go ..."] [--no-people] [--jobs 2] [--min-conf 0.001]
#        [--teacher "TEACHER OPTIONS"] [--peers "kcf csrt mog2"] [--scores DIR] [seed]
#
# Situations: plain, stop-and-go, shake, pan, occlusion, lighting, perspective, tall (TrafficVideoMaker's
# options of those names; plain is none of them). Every synthetic video has 300 frames, taught on 1-100.
# People: vtest.avi of opencv-doc with tests/data/vtest_people_gt.txt, taught on 1-100, scored on 101-300.
# --quick: one seed, the plain scene, 30 frames taught on the first 10, no people: a check that the table
#          fills, not a measurement (CTest runs it).
# --built DIR: the programs already built in DIR; nothing is installed or built.
# --jobs N: videos measured at a time (default 2); every method's time is taken while the others run.
# --peers LIST: the peers to measure beside Lanescope (default all three). CSRT takes about five times
#          KCF's time, most of a full run on a shared machine.
# --min-conf C: track boxes below this confidence are left out of the scores (default 0.001: Lanescope's
#          boxes of objects not seen for about ten frames; the peers' boxes all have confidence 1).
# --scores DIR: keeps every video's tracks, reports and teacher's output there.
# A lone number is the one seed to use, as this script took it before it had --seeds.
set -euo pipefail

source "$(dirname "$0")/lib.sh"
build=$root/build
built=0
seeds="31 32 33 34 35"
situations="plain stop-and-go shake pan occlusion lighting perspective tall"
people=1
jobs=2
floor=0.001
teacher=""
peers="kcf csrt mog2"
keep=""
frames=300
taught=100
while [ $# -gt 0 ]; do
    case $1 in
    --quick) frames=30 taught=10 seeds=5 situations=plain people=0; shift; continue ;;
    --no-people) people=0; shift; continue ;;
    [0-9]*) seeds=$1; shift; continue ;;
    esac
    [ $# -ge 2 ] || { echo "compare-trackers: $1 needs a value" >&2; exit 2; }
    case $1 in
    --built) build=$(cd "$2" && pwd); built=1 ;;
    --seeds) seeds=$2 ;;
    --situations) situations=$2 ;;
    --jobs) jobs=$2 ;;
    --min-conf) floor=$2 ;;
    --teacher) teacher=$2 ;;
    --peers) peers=$2 ;;
    --scores) mkdir -p "$2" && keep=$(cd "$2" && pwd) ;;
    *) echo "compare-trackers: unknown option $1" >&2; exit 2 ;;
    esac
    shift 2
done
for situation in $situations; do
    case $situation in
    plain | stop-and-go | shake | pan | occlusion | lighting | perspective | tall) ;;
    *) echo "compare-trackers: unknown situation $situation" >&2; exit 2 ;;
    esac
done
real_video=/usr/share/doc/opencv-doc/examples/data/vtest.avi
real_truth=$root/tests/data/vtest_people_gt.txt
if [ $people = 1 ] && [ ! -r $real_video ]; then
    echo "compare-trackers: $real_video is missing (package opencv-doc); --no-people leaves the people out" >&2
    exit 1
fi
if [ $built = 0 ]; then
    bash "$root/scripts/setup.sh"
    configure_build "$build" Release
    cmake --build "$build" -j2 --target Lanescope TrafficVideoMaker LanescopeTeacher LanescopeEval PeerTrackers \
        TeachingStudy >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for peer in $peers; do
    case $peer in
    kcf | csrt | mog2) ;;
    *) echo "compare-trackers: unknown peer $peer" >&2; exit 2 ;;
    esac
done
export build frames taught floor teacher peers work real_video real_truth

# measure_video NAME: makes (or links) the video of work/NAME, teaches Lanescope, runs every method and
# scores it; leaves NAME/rows ("method MOTA IDF1 MOTP switches recall type_accuracy ms", one per method)
# or NAME/failed with what went wrong. NAME is SITUATION_SEED, or people.
measure_video() {
    local name=$1 dir=$work/$1
    mkdir -p "$dir"
    cd "$dir"
    failed() {
        { echo "$name: $1:"; tail -n 20 "$2"; } >failed
        exit 0
    }
    local last=$frames
    if [ "$name" = people ]; then
        # Lanescope writes its tracks beside the video it plays, so it plays a link in the work folder.
        ln -s "$real_video" v.avi
        cp "$real_truth" v_gt.txt
    else
        local situation=${name%_*} seed=${name##*_} option=""
        [ "$situation" = plain ] || option=--$situation
        # shellcheck disable=SC2086
        "$build/tools/TrafficVideoMaker/TrafficVideoMaker" --frames "$frames" --seed "$seed" $option v.avi \
            >maker.txt 2>&1 || failed "the video could not be made" maker.txt
    fi
    # shellcheck disable=SC2086
    "$build/tools/LanescopeTeacher/LanescopeTeacher" v.avi v_gt.txt am.dat --frames "$taught" $teacher \
        >teacher.txt 2>&1 || failed "no memory was taught" teacher.txt
    env -u DISPLAY timeout 1800 "$build/src/Lanescope/Lanescope" v.avi /r >lanescope.txt 2>&1 </dev/null ||
        failed "Lanescope failed" lanescope.txt
    [ -f v_tracks.txt ] || failed "Lanescope wrote no tracks file" lanescope.txt
    # The time of Lanescope's own work per frame (grey pipeline and tracking step, decoding excluded, as in
    # the peers' figures) on the scored frames, from the study tool that repeats them with the same memory.
    "$build/tools/LanescopeTeacher/TeachingStudy" v.avi v_gt.txt am.dat "$((taught + 1))" "$last" \
        >study.txt 2>&1 || failed "TeachingStudy failed" study.txt
    if [ -n "${peers// /}" ]; then
        "$build/bench/Peers/PeerTrackers" v.avi v_gt.txt v --methods "$(tr -s ' ' , <<<"$peers")" >peers.txt 2>&1 ||
            failed "PeerTrackers failed" peers.txt
    fi
    local method tracks ms
    for method in lanescope $peers; do
        tracks=v_$method.txt
        if [ $method = lanescope ]; then
            tracks=v_tracks.txt
            ms=$(awk '{ for (i = 1; i < NF; i++) if ($i == "work_ms") print $(i + 1) }' study.txt)
        else
            ms=$(awk -v m=$method '$1 == m { print $2 }' peers.txt)
        fi
        "$build/tools/LanescopeEval/LanescopeEval" v_gt.txt "$tracks" --frames "$((taught + 1))-$last" \
            --min-conf "$floor" >"scores_$method.txt" 2>&1 || failed "$method could not be scored" "scores_$method.txt"
        awk -v m=$method -v ms="$ms" '{ v[$1] = $2 }
            END { print m, v["MOTA"], v["IDF1"], v["MOTP"], v["switches"], v["recall"], v["type_accuracy"], ms }' \
            "scores_$method.txt" >>rows
    done
}
export -f measure_video

names=()
for situation in $situations; do
    for seed in $seeds; do names+=("${situation}_$seed"); done
done
[ $people = 0 ] || names+=(people)
total=${#names[@]}
echo "compare-trackers: measuring $total videos, $jobs at a time, in $work" >&2
start=$(date +%s)
# Each finished video is named on standard error with the time so far.
printf '%s\n' "${names[@]}" | xargs -P "$jobs" -I{} bash -c '(measure_video "$1"); echo "$1"' _ {} |
    while read -r name; do
        done_count=$((${done_count:-0} + 1))
        echo "compare-trackers: $done_count/$total $name done ($(($(date +%s) - start)) s)" >&2
    done
if [ -n "$keep" ]; then
    for name in "${names[@]}"; do
        mkdir -p "$keep/$name"
        cp "$work/$name"/*.txt "$work/$name"/rows "$keep/$name/" 2>/dev/null || true
    done
fi

status=0
for name in "${names[@]}"; do
    if [ -f "$work/$name/failed" ] || [ ! -f "$work/$name/rows" ]; then
        echo "compare-trackers: $(cat "$work/$name/failed" 2>/dev/null || echo "$name: no scores")" >&2
        status=1
    fi
done
[ $status = 0 ] || exit 1

# summarise NAME...: one markdown row per method over the rows of the named videos, mean ± sd of each
# measure (population deviation; a lone video gets its value), "-" for the type accuracy of the peers.
# Ends the run when a figure is missing, so that the table never shows an empty cell.
summarise() {
    local label=$1
    shift
    for name in "$@"; do cat "$work/$name/rows"; done | awk -v label="$label" '
        function num(x) { return x ~ /^-?[0-9]+(\.[0-9]+)?(e-?[0-9]+)?$/ }
        # A type accuracy of "-" (no match with a type) takes no part in its mean.
        function cell(k, digits,   count, mean, sd) {
            count = k == 7 ? typed[m] : n[m]
            if (!count) return "-"
            mean = sum[m, k] / count
            sd = sqrt(sq[m, k] / count - mean * mean > 0 ? sq[m, k] / count - mean * mean : 0)
            return count > 1 ? sprintf("%." digits "f ± %." digits "f", mean, sd) : sprintf("%." digits "f", mean)
        }
        {
            m = $1
            if (!(m in n)) order[++methods] = m
            n[m]++
            for (k = 2; k <= 8; k++) {
                if (k == 7 && (m != "lanescope" || $k == "-")) continue
                if (!num($k)) { printf "compare-trackers: %s: no figure %d for %s (got \"%s\")\n", label, k, m, $k > "/dev/stderr"; bad = 1; continue }
                sum[m, k] += $k; sq[m, k] += $k * $k
                if (k == 7) typed[m]++
            }
        }
        END {
            if (bad) exit 1
            names["lanescope"] = "Lanescope"; names["kcf"] = "KCF"; names["csrt"] = "CSRT"; names["mog2"] = "MOG2 + IoU"
            for (i = 1; i <= methods; i++) {
                m = order[i]
                printf "| %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", label, names[m], cell(2, 2), cell(3, 2),
                    cell(4, 2), cell(5, 1), cell(6, 2), m == "lanescope" ? cell(7, 2) : "-", cell(8, 1)
            }
        }'
}

header="| Situation | Method | MOTA | IDF1 | MOTP | ID switches | Recall | Type accuracy | ms/frame |"
rule="|---|---|---|---|---|---|---|---|---|"
spread="mean ± standard deviation over the $(wc -w <<<"$seeds") seeds"
[ "$(wc -w <<<"$seeds")" -gt 1 ] || spread="one seed"
echo "Synthetic traffic, 640x480, $frames frames, seeds $seeds: taught on frames 1-$taught, scored on frames" \
    "$((taught + 1))-$frames at IoU >= 0.5, track boxes of confidence below $floor left out;" \
    "$spread${teacher:+; teacher options: $teacher}"
echo
echo "$header"
echo "$rule"
for situation in $situations; do
    videos=()
    for seed in $seeds; do videos+=("${situation}_$seed"); done
    summarise "$situation" "${videos[@]}"
done
if [ $people = 1 ]; then
    echo
    echo "People in vtest.avi (768x576, 11 people annotated in frames 1-300): taught on frames 1-$taught," \
        "scored on frames $((taught + 1))-$frames"
    echo
    echo "$header"
    echo "$rule"
    summarise people people
fi
echo
echo "ms/frame: each method's own work per frame, decoding excluded (Lanescope: grey pipeline and tracking" \
    "step; KCF and CSRT: every tracker of the frame), with $jobs video(s) measured at a time; took" \
    "$(($(date +%s) - start)) s."
echo "KCF and CSRT start from each object's true box once it is wholly in view, again at each passage;" \
    "MOG2 needs a still camera and no first boxes; Lanescope needs its teaching."
