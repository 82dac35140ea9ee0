#!/usr/bin/env bash
# Demo: a simulated controller on two virtual serial ports that raises events
# now and then, TarvikEditor on one port and TarvikScada (if built) on the
# other. Each program gets a throw-away settings store preset to its port, so
# the user's own settings are never touched. The simulator stops when both
# programs have exited. Arguments go to TarvikEditor (e.g. a .vlr file).
# BUILD_DIR selects the build directory (default: build); TARVIK_DEMO_EDITOR
# and TARVIK_DEMO_CONSOLE run other programs in their places (tests, screenshots).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${BUILD_DIR:-build}")
sim=$build/sim/TarvikSim
editor=${TARVIK_DEMO_EDITOR:-$build/editor/TarvikEditor}
console=$(realpath -m "${TARVIK_DEMO_CONSOLE:-$build/console/TarvikScada}")
for program in "$sim" "$editor"; do
    [ -x "$program" ] || { echo "demo: $program is not built" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvik-demo.XXXXXX")
editorPort=$work/editor-port
consolePort=$work/console-port
simPid=""
cleanup() {
    if [ -n "$simPid" ]; then
        kill "$simPid" 2>/dev/null || true
        wait "$simPid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Answers as late as a real 9600-baud line would, SIM card busy for half a second.
# The simulator writes each program's settings store itself, with the programs'
# own settings code, before it makes the links.
"$sim" --link "$editorPort" --preset-settings "$work/editor-settings" \
    --link "$consolePort" --preset-settings "$work/console-settings" \
    --demo --line-timing --sim-busy 5 \
    --control "$work/control" < /dev/null > "$work/sim.log" 2>&1 &
simPid=$!
ready() { [ -e "$editorPort" ] && [ -e "$consolePort" ]; }
for _ in $(seq 50); do
    ready && break
    kill -0 "$simPid" 2>/dev/null || break
    sleep 0.1
done
if ! ready; then
    echo "demo: the simulator did not start:" >&2
    cat "$work/sim.log" >&2
    exit 1
fi

export TARVIK_PORTS="$editorPort:$consolePort"

echo "Controller simulator: $editorPort (editor), $consolePort (console)"
echo "Drive it with: echo help | socat - UNIX-CONNECT:$work/control"

pids=()
XDG_CONFIG_HOME="$work/editor-settings" "$editor" "$@" &
pids+=($!)
if [ -x "$console" ]; then
    # The console finds Alarm.wav beside itself, whatever the working directory.
    # Its journal lives in the throw-away folder too.
    XDG_CONFIG_HOME="$work/console-settings" TARVIK_JOURNAL="$work/journal.sqlite" "$console" &
    pids+=($!)
fi
status=0
for pid in "${pids[@]}"; do
    wait "$pid" || status=$?
done
exit $status
