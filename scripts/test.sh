#!/usr/bin/env bash
# Builds everything twice (plain, and with AddressSanitizer + UBSan) and runs every test in both.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

# The tray test wants a notification area: a virtual X display with trayer on it.
# Without Xvfb or trayer that test skips itself.
pids=()
trap 'for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done' EXIT
start_tray_display() {
    command -v Xvfb > /dev/null && command -v trayer > /dev/null || return 0
    local n=90
    while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
    Xvfb :$n -screen 0 1024x768x24 -nolisten tcp > /dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
    [ -e /tmp/.X11-unix/X$n ] || return 0
    DISPLAY=:$n trayer > /dev/null 2>&1 &
    pids+=($!)
    export TARVIK_TRAY_DISPLAY=:$n
}
start_tray_display

# Compiler cache: paths are taken relative to the checkout, so any clone of
# the project reuses what an earlier run compiled.
launcher=()
if command -v ccache > /dev/null; then
    export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

for kind in plain asan; do
    dir=build-test-$kind
    flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVIK_WERROR=ON "${launcher[@]}")
    [ $kind = asan ] && flags=(-DCMAKE_BUILD_TYPE=Debug -DTARVIK_SANITIZE=ON -DTARVIK_WERROR=ON "${launcher[@]}")
    cmake -S . -B $dir "${flags[@]}" > /dev/null
    cmake --build $dir -j"$jobs"
    echo "== tests ($kind build)"
    ctest --test-dir $dir --output-on-failure -j"$jobs"
    if [ $kind = plain ]; then
        echo "== install tree"
        ./scripts/check-install.sh $dir
    fi
done
