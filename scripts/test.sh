#!/usr/bin/env bash
# Builds everything twice (plain, and with AddressSanitizer + UBSan) and runs every test in both.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)
for kind in plain asan; do
    dir=build-test-$kind
    flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
    [ $kind = asan ] && flags=(-DCMAKE_BUILD_TYPE=Debug -DTARVIK_SANITIZE=ON)
    cmake -S . -B $dir "${flags[@]}" > /dev/null
    cmake --build $dir -j"$jobs"
    echo "== tests ($kind build)"
    ctest --test-dir $dir --output-on-failure -j"$jobs"
    if [ $kind = plain ]; then
        echo "== install tree"
        ./scripts/check-install.sh $dir
    fi
done
