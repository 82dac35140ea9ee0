#!/usr/bin/env bash
# Builds the programs and starts them against the simulator (tests and
# benchmarks are left to scripts/test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j"$(nproc)" --target TarvikEditor TarvikScada TarvikSim tarvik-vlr
exec ./scripts/demo.sh "$@"
