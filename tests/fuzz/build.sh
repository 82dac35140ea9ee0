#!/bin/sh
# tests/fuzz/build.sh [build-dir] [seconds] [target]: builds and runs a fuzz target,
# fuzz_configfile (file and texts, the default) or fuzz_configwindow (also the
# window, offscreen) or fuzz_dispatchpayloads (the dispatcher's payloads, corpus in
# corpus-dispatch). New finds go to build-dir/corpus, crashes to build-dir/crash-*.
set -e
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build-fuzz}
target=${3:-fuzz_configfile}
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --target "$target" -j2
seeds=$here/corpus found=$build/corpus
if [ "$target" = fuzz_dispatchpayloads ]; then seeds=$here/corpus-dispatch found=$build/corpus-dispatch; fi
mkdir -p "$found"
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$build/$target" -max_total_time="${2:-60}" -max_len=4096 -artifact_prefix="$build/" "$found" "$seeds"
