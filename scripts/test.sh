#!/usr/bin/env bash
# Installs, then builds and runs the whole test suite twice: a Release build (build/) and an
# AddressSanitizer + UndefinedBehaviorSanitizer build (build-asan/), each through ctest --output-on-failure;
# then the libFuzzer targets over the packed data image and the memory file (30 s each) and over the
# command line (15 s), built with clang (scripts/run-fuzzers.sh).
set -euo pipefail

source "$(dirname "$0")/lib.sh"
bash "$root/scripts/setup.sh"
# Leaks that Qt's font and D-Bus stack keep until exit are not ours; the file lists third-party libraries only.
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"

started=$(date +%s)
passed=0
skipped=0
for kind in Release Sanitize; do
    dir="$root/build"
    [ "$kind" = Release ] || dir="$root/build-asan"
    echo "=== $kind build in $dir"
    configure_build "$dir" "$kind"
    cmake --build "$dir" -j2
    (cd "$dir" && ctest --output-on-failure -j2) | tee "$dir/ctest.log"
    # ctest's own summary: "100% tests passed, 0 tests failed out of N"
    passed=$((passed + $(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$dir/ctest.log")))
    # ...which counts the skipped among the passed; ctest lists those as "NN - name (Skipped)" and keeps
    # their reasons ("skipped: ...") only in its log.
    skipped=$((skipped + $(grep -c '(Skipped)$' "$dir/ctest.log" || true)))
    grep -h '^skipped: ' "$dir/Testing/Temporary/LastTest.log" || true
done
echo "=== Fuzzers"
LANESCOPE_FUZZ_SECONDS=${LANESCOPE_FUZZ_SECONDS:-30} bash "$root/scripts/run-fuzzers.sh"
echo "=== Both builds and the fuzzers passed in $(($(date +%s) - started)) s"
echo "tests: $((passed - skipped)) passed, $skipped skipped, 0 failed"
