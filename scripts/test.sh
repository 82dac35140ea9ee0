#!/usr/bin/env bash
# Builds everything twice (plain, and with AddressSanitizer + UBSan) and runs every test in both.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)
for kind in plain asan; do
    dir=build-test-$kind
    flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVIK_WERROR=ON)
    [ $kind = asan ] && flags=(-DCMAKE_BUILD_TYPE=Debug -DTARVIK_SANITIZE=ON -DTARVIK_WERROR=ON)
    cmake -S . -B $dir "${flags[@]}" > /dev/null
    cmake --build $dir -j"$jobs"
    echo "== tests ($kind build)"
    ctest --test-dir $dir --output-on-failure -j"$jobs"
done
