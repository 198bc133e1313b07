# Lanescope under valgrind's memcheck: a short recorded run of traffic and a refused start-up
# give no invalid access and no definite leak of the program's own allocations.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
source "$here/memcheck.sh"
skip_when_instrumented Lanescope
skip_unless_valgrind_runs Lanescope

make_video traffic.avi --frames 4
memcheck Lanescope traffic.avi /r
expect_clean "Lanescope traffic.avi /r" 0
[ -e traffic_out.avi ] || fail "no recording"

memcheck Lanescope missing.avi
expect_clean "Lanescope missing.avi" 255
finish
