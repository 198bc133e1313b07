#!/usr/bin/env bash
# Scores Lanescope, taught from annotations, at several confidence floors. For each video (a synthetic one
# per seed, or one real video with its ground truth) LanescopeTeacher teaches the first frames, Lanescope
# runs without a window over the whole video with "/r", and LanescopeEval scores its tracks on the frames
# after the teaching once per floor (--min-conf). Prints per floor the means over the videos of MOTA, IDF1,
# precision, recall and the type accuracy of the matches, with the standard deviation of MOTA and IDF1.
#
#   bash scripts/confidence-sweep.sh [--built DIR] [--seeds "11 12 13 14 15"] [--frames 300] [--taught 100]
#        [--maker "MAKER OPTIONS"] [--teacher "TEACHER OPTIONS"] [--video FILE.avi --truth GT.txt]
#        [--floors "0 1e-12 ..."] [--scores DIR]
#
# --maker: options of TrafficVideoMaker for every seed (situations: "--stop-and-go --pan" and the like).
# --teacher: options of LanescopeTeacher ("--area 100x100", "--passes 2").
# --video, --truth: one real video with MOTChallenge ground truth instead of the synthetic ones; --frames is
#          then the last frame scored.
# --scores DIR: keeps LanescopeEval's report of every video and floor there (<video>_<floor>.txt), and the
#          tracks files, for other tables.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
seeds="11 12 13 14 15"
frames=300
taught=100
maker=""
teacher=""
video=""
truth=""
floors="0 1e-12 1e-6 1e-3 0.01 0.05 0.1 0.2 0.5"
keep=""
while [ $# -gt 0 ]; do
    [ $# -ge 2 ] || { echo "confidence-sweep: $1 needs a value" >&2; exit 2; }
    case $1 in
    --built) build=$(cd "$2" && pwd) ;;
    --seeds) seeds=$2 ;;
    --frames) frames=$2 ;;
    --taught) taught=$2 ;;
    --maker) maker=$2 ;;
    --teacher) teacher=$2 ;;
    --video) video=$(realpath "$2") ;;
    --truth) truth=$(realpath "$2") ;;
    --floors) floors=$2 ;;
    --scores) mkdir -p "$2" && keep=$(cd "$2" && pwd) ;;
    *) echo "confidence-sweep: unknown option $1" >&2; exit 2 ;;
    esac
    shift 2
done
if { [ -n "$video" ] && [ -z "$truth" ]; } || { [ -z "$video" ] && [ -n "$truth" ]; }; then
    echo "confidence-sweep: --video and --truth go together" >&2
    exit 2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Each video gets a folder of its own: Lanescope reads and saves am.dat in its working folder.
names=()
if [ -n "$video" ]; then
    mkdir real
    # Lanescope writes its tracks beside the video it plays, so it plays a link in the work folder.
    ln -s "$video" real/real.avi
    cp "$truth" real/real_gt.txt
    names=(real)
else
    for seed in $seeds; do
        mkdir "s$seed"
        # shellcheck disable=SC2086
        (cd "s$seed" && "$build/tools/TrafficVideoMaker/TrafficVideoMaker" --frames "$frames" --seed "$seed" \
            $maker "s$seed.avi")
        names+=("s$seed")
    done
fi

for name in "${names[@]}"; do
    (
        cd "$name"
        # failed WHAT LOG: ends the run, naming the video and what failed, with the end of its output.
        failed() {
            echo "confidence-sweep: $name: $1:" >&2
            tail -n 20 "$2" >&2
            exit 1
        }
        # shellcheck disable=SC2086
        "$build/tools/LanescopeTeacher/LanescopeTeacher" "$name.avi" "${name}_gt.txt" am.dat \
            --frames "$taught" $teacher >teacher.txt 2>&1 || failed "no memory was taught" teacher.txt
        env -u DISPLAY timeout 900 "$build/src/Lanescope/Lanescope" "$name.avi" /r >lanescope.txt 2>&1 \
            </dev/null || failed "Lanescope failed" lanescope.txt
        [ -f "${name}_tracks.txt" ] || failed "Lanescope wrote no tracks file" lanescope.txt
        for floor in $floors; do
            "$build/tools/LanescopeEval/LanescopeEval" "${name}_gt.txt" "${name}_tracks.txt" \
                --frames "$((taught + 1))-$frames" --min-conf "$floor" >"scores_$floor.txt"
        done
        if [ -n "$keep" ]; then
            cp "${name}_tracks.txt" "$keep/"
            for floor in $floors; do cp "scores_$floor.txt" "$keep/${name}_$floor.txt"; done
        fi
    )
done

areas=$(for name in "${names[@]}"; do
    echo "$name $(sed -n 's/^Area \([0-9]*x[0-9]*\).*/\1/p' "$name/teacher.txt")"
done | paste -sd, | sed 's/,/, /g')
echo "Lanescope taught on frames 1-$taught${teacher:+ ($teacher)}, scored on frames $((taught + 1))-$frames" \
    "at IoU >= 0.5;"
echo "means over ${#names[@]} video(s)${maker:+ made with $maker}; their areas: $areas"
printf '%-9s %7s %6s %7s %6s %9s %7s %8s\n' min_conf MOTA sd IDF1 sd precision recall type_acc
for floor in $floors; do
    for name in "${names[@]}"; do cat "$name/scores_$floor.txt"; echo end; done |
        awk -v floor="$floor" 'BEGIN { n = 0 }
            $1 == "MOTA" { m[n] = $2 } $1 == "IDF1" { i[n] = $2 } $1 == "precision" { p += $2 }
            $1 == "recall" { r += $2 } $1 == "type_accuracy" && $2 != "-" { t += $2; typed++ }
            $1 == "end" { n++ }
            END {
                for (k = 0; k < n; k++) { sm += m[k]; si += i[k] }
                sm /= n; si /= n
                for (k = 0; k < n; k++) { vm += (m[k] - sm) ^ 2; vi += (i[k] - si) ^ 2 }
                printf "%-9s %7.3f %6.3f %7.3f %6.3f %9.3f %7.3f %8s\n", floor, sm, sqrt(vm / n), si,
                    sqrt(vi / n), p / n, r / n, typed ? sprintf("%.3f", t / typed) : "-"
            }'
done
