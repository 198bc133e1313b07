# Whole runs under valgrind's memcheck: sourced after lib.sh by the memcheck scenarios.
# In the sanitizer build the programs carry AddressSanitizer, which valgrind cannot run alongside; there
# AddressSanitizer and LeakSanitizer check every end-to-end run instead.

SUPPRESSIONS=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/valgrind.supp
# The valgrind command; another can stand in for it (VALGRIND) to try the scenarios' skip by hand.
VALGRIND=${VALGRIND:-valgrind}
# Exit code of a scenario that cannot run here, which CTest reports as skipped (SKIP_RETURN_CODE).
SKIPPED=77

# skip_when_instrumented NAME: ends the scenario as skipped when NAME was built with AddressSanitizer.
skip_when_instrumented() {
    # grep reads all of nm's output: with -q it could stop early and, under pipefail, nm's broken pipe
    # would fail the test and run an instrumented program under valgrind.
    if nm -D "$(program "$1")" 2>/dev/null | grep __asan_init >/dev/null; then
        echo "skipped: $1 is built with AddressSanitizer, which checks every run itself"
        exit $SKIPPED
    fi
}

# skip_unless_valgrind_runs NAME: ends the scenario as skipped when valgrind cannot bring NAME as far as
# printing its help. On some AVX-512 machines valgrind 3.19 stops every OpenCV program with SIGILL before
# main, at an instruction it does not know in a library that OpenCV loads; that says nothing of the
# programs, and the sanitizer build still checks the same runs.
skip_unless_valgrind_runs() {
    local rc=0
    timeout -k 5 120 $VALGRIND -q --log-file=probe.txt "$(program "$1")" "/?" >probe_out.txt 2>&1 </dev/null ||
        rc=$?
    grep -q "=== $1 help ===" probe_out.txt && return 0
    echo "skipped: valgrind cannot run OpenCV programs on this machine: \"$VALGRIND $1 /?\" ended with" \
        "exit code $rc before $1 printed its help; valgrind's last words:"
    tail -n 8 probe.txt 2>/dev/null || true
    exit $SKIPPED
}

# memcheck NAME ARGS...: runs NAME under memcheck (at most 280 s) with OUT, RC set and the report in
# memcheck.txt; any invalid access or definite leak outside the suppressions gives exit code 99.
memcheck() {
    local exe
    exe=$(program "$1")
    shift
    RC=0
    timeout -k 5 280 $VALGRIND -q --error-exitcode=99 --leak-check=full --show-leak-kinds=definite \
        --errors-for-leak-kinds=definite --num-callers=40 --suppressions="$SUPPRESSIONS" \
        --log-file=memcheck.txt "$exe" "$@" >out.txt 2>err.txt </dev/null || RC=$?
    OUT=$(cat out.txt; echo x)
    OUT=${OUT%x}
}

# expect_clean WHAT EXPECTED_RC: the last run ended with EXPECTED_RC and memcheck found nothing.
expect_clean() {
    expect_eq "$1: exit code" "$RC" "$2"
    if [ -s memcheck.txt ]; then
        fail "$1: memcheck reports"
        head -n 60 memcheck.txt >&2
    fi
}
