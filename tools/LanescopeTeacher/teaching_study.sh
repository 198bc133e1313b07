#!/usr/bin/env bash
# Measures what teaching budgets give on frames that were not taught: for each seed a synthetic video of
# 300 frames is made, a memory is taught from its first frames with recall passes, and Lanescope's tracks on
# frames 101 to 300 are scored against the video's ground truth. Prints the means over the seeds. A budget
# may end with more options of the teacher ("100 4 --area 100x100").
#
#   tools/LanescopeTeacher/teaching_study.sh BUILD_DIR [--seeds "2 3 4"] "FRAMES PASSES [OPTIONS]" ...
#                                                                      e.g. build "100 0" "100 2"
set -euo pipefail

build=$(cd "$1" && pwd)
shift
seeds="2 3 4 5 6 7"
if [ "${1:-}" = --seeds ]; then
    seeds=$2
    shift 2
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
for seed in $seeds; do
    "$build/tools/TrafficVideoMaker/TrafficVideoMaker" --frames 300 --seed "$seed" "s$seed.avi"
done
printf '%-8s %-8s %-6s %-6s %-6s %-6s %s\n' frames passes MOTA IDF1 ms bases options
for budget in "$@"; do
    read -r frames passes options <<<"$budget"
    for seed in $seeds; do
        # shellcheck disable=SC2086
        "$build/tools/LanescopeTeacher/LanescopeTeacher" "s$seed.avi" "s${seed}_gt.txt" am.dat \
            --frames "$frames" --passes "$passes" ${options:-} >/dev/null
        "$build/tools/LanescopeTeacher/TeachingStudy" "s$seed.avi" "s${seed}_gt.txt" am.dat | tail -n 1
    done | awk -v f="$frames" -v p="$passes" -v o="${options:-}" '{ m += $2; i += $4; t += $6; b += $8; n++ }
        END { printf "%-8s %-8s %-6.3f %-6.3f %-6.2f %-6.1f %s\n", f, p, m / n, i / n, t / n, b / n, o }'
done
