# Whole runs under valgrind's memcheck: sourced after lib.sh by the memcheck scenarios.
# In the sanitizer build the programs carry AddressSanitizer, which valgrind cannot run alongside; there
# AddressSanitizer and LeakSanitizer check every end-to-end run instead.

SUPPRESSIONS=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/valgrind.supp

# skip_when_instrumented NAME: ends the scenario (passing) when NAME was built with AddressSanitizer.
skip_when_instrumented() {
    # grep reads all of nm's output: with -q it could stop early and, under pipefail, nm's broken pipe
    # would fail the test and run an instrumented program under valgrind.
    if nm -D "$(program "$1")" 2>/dev/null | grep __asan_init >/dev/null; then
        echo "skipped: $1 is built with AddressSanitizer, which checks every run itself"
        exit 0
    fi
}

# memcheck NAME ARGS...: runs NAME under memcheck (at most 280 s) with OUT, RC set and the report in
# memcheck.txt; any invalid access or definite leak outside the suppressions gives exit code 99.
memcheck() {
    local exe
    exe=$(program "$1")
    shift
    RC=0
    timeout -k 5 280 valgrind -q --error-exitcode=99 --leak-check=full --show-leak-kinds=definite \
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
