#!/usr/bin/env bash
# Builds the programs and starts them against the simulator (tests and
# benchmarks are left to scripts/test.sh), the console publishing to a
# private MQTT broker when mosquitto is installed, and the dispatcher watching it.
# With --service it starts the unattended site service on the simulator instead
# (scripts/demo-service.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
launcher=()
if command -v ccache > /dev/null; then # as in test.sh: objects shared between clones and runs
    export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" > /dev/null
# --service: the unattended site service instead of the windows.
mode=windows
if [ "${1:-}" = --service ]; then
    mode=service
    shift
fi
if [ "$mode" = service ]; then
    cmake --build build -j"$(nproc)" --target TarvikSim tarvik-site
else
    cmake --build build -j"$(nproc)" --target TarvikEditor TarvikScada TarvikDispatch TarvikSim tarvik-vlr
fi
# A private MQTT broker for the programs to publish to and the dispatcher to
# watch, when mosquitto is installed.
source ./scripts/demo-broker.sh
trap demo_broker_stop EXIT
demo_broker_start
if [ "$mode" = service ]; then
    ./scripts/demo-service.sh
else
    ./scripts/demo.sh "$@"
fi
