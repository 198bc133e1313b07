#!/usr/bin/env bash
# Builds the libFuzzer targets over the packed data image, the memory file and the command line with clang,
# AddressSanitizer and UndefinedBehaviorSanitizer, makes their seed corpus, and runs each for a bounded time.
# Fails on any crash, leak, timeout or out-of-memory of an input (libFuzzer's exit status).
#   LANESCOPE_FUZZ_SECONDS          seconds per memory fuzzer (default 30)
#   LANESCOPE_FUZZ_COMMAND_SECONDS  seconds of the command-line fuzzer (default 15: its input space is small)
#   LANESCOPE_FUZZ_BUILD    build directory (default build-fuzz in the source tree)
set -euo pipefail

source "$(dirname "$0")/lib.sh"
build=${LANESCOPE_FUZZ_BUILD:-$root/build-fuzz}
seconds=${LANESCOPE_FUZZ_SECONDS:-30}
command_seconds=${LANESCOPE_FUZZ_COMMAND_SECONDS:-15}
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -g"

configure_build "$build" RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS="$flags" \
  -DLANESCOPE_FUZZ=ON -DLANESCOPE_BENCHMARKS=OFF -DLANESCOPE_TESTS=OFF
ninja -C "$build" -j2 PackedDataFuzz MemoryFileFuzz CommandLineFuzz FuzzSeeds

corpus=$build/fuzz-corpus
rm -rf "$corpus/seeds"
mkdir -p "$corpus"
"$build/fuzz/FuzzSeeds" "$corpus/seeds"
mkdir -p "$corpus/packed" "$corpus/file" "$corpus/command" "$build/fuzz-artifacts"
# Command lines: a first byte (odd: Quadfinder's help) and arguments separated by zero bytes.
commands=$corpus/seeds/command
mkdir -p "$commands"
printf '\0clip.avi\0/r' >"$commands/record"
printf '\1/?' >"$commands/help"
printf '\0C:/Rec/Clip.AVI' >"$commands/path"
printf '\0003\0/r' >"$commands/device"
printf '\1movie.mpg' >"$commands/refused"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
run() {
  local fuzzer=$1 work=$2 seeds=$3 time=${4:-$seconds}
  echo "== $fuzzer for ${time}s"
  # The refusals report on standard error and loads print on standard output; both are closed so that
  # the run stays readable. libFuzzer and the sanitizers keep their own channel for findings.
  "$build/fuzz/$fuzzer" -max_total_time="$time" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
    -close_fd_mask=3 -print_final_stats=1 -artifact_prefix="$build/fuzz-artifacts/$fuzzer-" \
    "$work" "$seeds"
}
run PackedDataFuzz "$corpus/packed" "$corpus/seeds/packed"
run MemoryFileFuzz "$corpus/file" "$corpus/seeds/file"
run CommandLineFuzz "$corpus/command" "$commands" "$command_seconds"
echo "fuzzers passed"
