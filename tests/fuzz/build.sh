#!/bin/sh
# Builds a configuration-file fuzz target with clang and runs it.
#   tests/fuzz/build.sh [build-dir] [seconds] [target]
# target: fuzz_configfile (file and texts, fast) or fuzz_configwindow (also
# refreshes the editor window offscreen). Seeds come from tests/fuzz/corpus;
# new finds go to build-dir/corpus, crashing inputs to build-dir/crash-*.
set -e
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build-fuzz}
seconds=${2:-60}
target=${3:-fuzz_configfile}
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --target "$target" -j2
mkdir -p "$build/corpus"
export ASAN_OPTIONS=detect_leaks=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
"$build/$target" -max_total_time="$seconds" -max_len=4096 \
    -artifact_prefix="$build/" "$build/corpus" "$here/corpus"
