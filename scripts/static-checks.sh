#!/usr/bin/env bash
# Static checks of the project's code: clang-tidy with the checks of .clang-tidy (bug patterns, performance,
# the analyser's core checks) and cppcheck (warnings, performance, portability) with the suppressions of
# .cppcheck-suppressions, both over every file of the build's compile database (programs, libraries, tools,
# tests, benchmarks). Configures build-static/ without building it. Fails when either reports a finding.
#   bash scripts/static-checks.sh
set -euo pipefail

source "$(dirname "$0")/lib.sh"
build=$root/build-static
bash "$root/scripts/setup.sh"
configure_build "$build" Release -DLANESCOPE_BENCHMARKS=ON

status=0
echo "=== clang-tidy"
# Only the project's own files: the compile database lists nothing else, and the header filter of
# .clang-tidy keeps OpenCV's and GoogleTest's headers out.
run-clang-tidy -p "$build" -j 2 -quiet "$root/(src|tools|tests|bench)/" >"$build/clang-tidy.txt" 2>&1 || true
# run-clang-tidy colours its output; the list of findings is plain text.
sed 's/\x1b\[[0-9;]*m//g' "$build/clang-tidy.txt" | { grep -E '(warning|error):' || true; } | sort -u \
    >"$build/clang-tidy-findings.txt"
if [ -s "$build/clang-tidy-findings.txt" ]; then
    cat "$build/clang-tidy-findings.txt"
    echo "clang-tidy: $(wc -l <"$build/clang-tidy-findings.txt") findings (details in $build/clang-tidy.txt)"
    status=1
else
    echo "clang-tidy: no findings"
fi

echo "=== cppcheck"
if cppcheck --project="$build/compile_commands.json" --library=googletest --library=opencv2 --enable=warning,performance,portability \
    --inline-suppr --suppressions-list="$root/.cppcheck-suppressions" --error-exitcode=1 -q -j 2 \
    --template='{file}:{line}: {severity}: {message} [{id}]' 2>"$build/cppcheck.txt"; then
    echo "cppcheck: no findings"
else
    cat "$build/cppcheck.txt"
    status=1
fi
exit $status
