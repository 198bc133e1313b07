#!/usr/bin/env bash
# Measures what teaching budgets give on frames that were not taught: for each seed a synthetic video of
# 300 frames is made, a memory is taught from its first frames with recall passes, and Lanescope's tracks on
# frames 101 to 300 are scored against the video's ground truth. Prints the means over the seeds.
#
#   tools/LanescopeTeacher/teaching_study.sh BUILD_DIR "FRAMES PASSES" ...     e.g. build "100 0" "100 2"
set -euo pipefail

build=$(cd "$1" && pwd)
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
seeds="2 3 4 5 6 7"
for seed in $seeds; do
    "$build/tools/TrafficVideoMaker/TrafficVideoMaker" --frames 300 --seed "$seed" "s$seed.avi"
done
printf '%-8s %-8s %-6s %-6s %-6s %-6s\n' frames passes MOTA IDF1 ms bases
for budget in "$@"; do
    read -r frames passes <<<"$budget"
    for seed in $seeds; do
        "$build/tools/LanescopeTeacher/LanescopeTeacher" "s$seed.avi" "s${seed}_gt.txt" am.dat \
            --frames "$frames" --passes "$passes" >/dev/null
        "$build/tools/LanescopeTeacher/TeachingStudy" "s$seed.avi" "s${seed}_gt.txt" am.dat | tail -n 1
    done | awk -v f="$frames" -v p="$passes" '{ m += $2; i += $4; t += $6; b += $8; n++ }
        END { printf "%-8s %-8s %-6.3f %-6.3f %-6.2f %-6.1f\n", f, p, m / n, i / n, t / n, b / n }'
done
