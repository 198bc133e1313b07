# Helpers of the end-to-end scenarios: sourced by each scenario script, which CTest runs under xvfb-run
# with LANESCOPE, QUADFINDER, MAKER (TrafficVideoMaker) and CHECKER (VideoFileCheck) in the environment.
# Every scenario works in a fresh temporary directory and ends every program it started by its PID.

set -euo pipefail
# Arguments such as "/?" are words, never file patterns.
set -f

: "${LANESCOPE:?}" "${QUADFINDER:?}" "${MAKER:?}" "${CHECKER:?}"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/e2e.XXXXXX")
STARTED_PID=""
cleanup() {
    if [ -n "$STARTED_PID" ] && kill -0 "$STARTED_PID" 2>/dev/null; then
        kill -TERM "$STARTED_PID" 2>/dev/null || true
        sleep 1
        kill -KILL "$STARTED_PID" 2>/dev/null || true
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT
cd "$WORK"

FAILURES=0

# fail MESSAGE: records a failed expectation and goes on.
fail() {
    echo "FAIL: $*" >&2
    if [ -s err.txt ]; then
        echo "--- standard error of the last run (tail):" >&2
        tail -n 20 err.txt >&2
    fi
    FAILURES=$((FAILURES + 1))
}

# finish: ends the scenario, failing it when any expectation failed.
finish() {
    if [ "$FAILURES" -ne 0 ]; then
        echo "$FAILURES expectation(s) failed" >&2
        exit 1
    fi
    echo "all expectations met"
}

# program NAME: the path of Lanescope, Quadfinder or their batch tools.
program() {
    case "$1" in
    Lanescope) echo "$LANESCOPE" ;;
    Quadfinder) echo "$QUADFINDER" ;;
    LanescopeBatch) echo "${LANESCOPE_BATCH:?}" ;;
    QuadfinderBatch) echo "${QUADFINDER_BATCH:?}" ;;
    *) echo "unknown program $1" >&2; exit 2 ;;
    esac
}

# make_video FILE [MAKER OPTIONS...]: writes a synthetic video (and its CSV) into the work directory.
make_video() {
    local file=$1
    shift
    "$MAKER" "$@" "$file" || { echo "cannot make $file" >&2; exit 2; }
}

# run NAME ARGS...: runs a program to its end (at most 120 s) with OUT, ERR and RC set afterwards.
run() {
    local exe
    exe=$(program "$1")
    shift
    RC=0
    timeout -k 5 120 "$exe" "$@" >out.txt 2>err.txt </dev/null || RC=$?
    OUT=$(cat out.txt; echo x)
    OUT=${OUT%x}
    ERR=$(cat err.txt)
}

# start NAME ARGS...: starts a program in the background; its PID is STARTED_PID.
start() {
    local exe
    exe=$(program "$1")
    shift
    "$exe" "$@" >out.txt 2>err.txt </dev/null &
    STARTED_PID=$!
}

# wait_window: waits (at most 60 s) for the window "Result" of the started program and sets WID.
wait_window() {
    local i
    for i in $(seq 600); do
        WID=$(xdotool search --onlyvisible --name '^Result$' 2>/dev/null | head -n 1 || true)
        [ -n "$WID" ] && return 0
        kill -0 "$STARTED_PID" 2>/dev/null || { fail "program ended before its window appeared"; return 1; }
        sleep 0.1
    done
    fail "no window \"Result\" within 60 s"
    return 1
}

# key KEY: sends one key (xdotool name: Escape, x, t...) to the window. A window that is still being mapped
# can refuse the first try, so it is tried again for a few seconds; a key that never arrives fails the
# scenario with a message instead of ending it silently.
key() {
    local i
    for i in $(seq 30); do
        xdotool key --window "$WID" "$1" 2>/dev/null && return 0
        sleep 0.2
    done
    fail "xdotool could not send $1 to the window"
}

# wait_exit SECONDS: waits for the started program to end; RC is its exit code, or "running".
wait_exit() {
    local i
    for i in $(seq $(($1 * 10))); do
        if ! kill -0 "$STARTED_PID" 2>/dev/null; then
            RC=0
            wait "$STARTED_PID" || RC=$?
            STARTED_PID=""
            return 0
        fi
        sleep 0.1
    done
    RC=running
}

# expect_eq WHAT ACTUAL EXPECTED
expect_eq() {
    [ "$2" == "$3" ] || fail "$1: got [$2], expected [$3]"
}

# expect_contains WHAT TEXT PART
expect_contains() {
    case "$2" in
    *"$3"*) ;;
    *) fail "$1: [$2] does not contain [$3]" ;;
    esac
}

# stray_errors: standard error of the last run without the lines Qt prints about its own set-up.
stray_errors() {
    grep -v -e XDG_RUNTIME_DIR -e propagateSizeHints err.txt || true
}

# frames_of FILE: the frame count that ffprobe finds in a video.
frames_of() {
    ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$1"
}
