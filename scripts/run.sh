#!/usr/bin/env bash
# Builds everything and starts the programs.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j"$(nproc)"
exec ./scripts/demo.sh "$@"
