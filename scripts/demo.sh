#!/usr/bin/env bash
# Demo: a small site of simulated controllers that raise events now and then.
# One line carries controllers 1 and 2 and is served on two virtual serial
# ports, one for TarvikEditor and one for TarvikScada (if built); controller 3
# sits alone on a second line. The console watches all three. Each program
# gets a throw-away settings store preset to its port, so the user's own
# settings are never touched. The simulators stop when both programs have
# exited. Arguments go to TarvikEditor (e.g. a .vlr file).
# With a demo broker (TARVIK_MQTT, see demo-broker.sh) TarvikDispatch watches
# the console's site through it, with its own throw-away settings and journal.
# BUILD_DIR selects the build directory (default: build); TARVIK_DEMO_EDITOR,
# TARVIK_DEMO_CONSOLE and TARVIK_DEMO_DISPATCH run other programs in their places
# (tests, screenshots).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${BUILD_DIR:-build}")
sim=$build/sim/TarvikSim
editor=${TARVIK_DEMO_EDITOR:-$build/editor/TarvikEditor}
console=$(realpath -m "${TARVIK_DEMO_CONSOLE:-$build/console/TarvikScada}")
dispatch=$(realpath -m "${TARVIK_DEMO_DISPATCH:-$build/dispatch/TarvikDispatch}")
for program in "$sim" "$editor"; do
    [ -x "$program" ] || { echo "demo: $program is not built" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvik-demo.XXXXXX")
editorPort=$work/editor-port
consolePort=$work/console-port
secondLine=$work/second-line
simPid=""
secondPid=""
cleanup() {
    for pid in $simPid $secondPid; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Answers as late as a real 9600-baud line would, SIM card busy for half a second.
# The simulator writes each program's settings store itself, with the programs'
# own settings code, before it makes the links.
"$sim" --link "$editorPort" --preset-settings "$work/editor-settings" \
    --link "$consolePort" --preset-settings "$work/console-settings" \
    --slave 1,2 --demo --line-timing --sim-busy 5 \
    --control "$work/control" < /dev/null > "$work/sim.log" 2>&1 &
simPid=$!
"$sim" --link "$secondLine" --address 3 --demo --line-timing \
    --control "$work/control-2" < /dev/null > "$work/sim-2.log" 2>&1 &
secondPid=$!
# The console's own list: its first controller is the shared store's link
# (preset above), the others follow; names are the console's defaults.
mkdir -p "$work/console-settings/Tarvik"
cat > "$work/console-settings/Tarvik/Console.ini" <<EOF
[controllers]
1\\polled=true
2\\portName=$consolePort
2\\baudRate=9600
2\\address=2
2\\polled=true
3\\portName=$secondLine
3\\baudRate=9600
3\\address=3
3\\polled=true
size=3
EOF
ready() { [ -e "$editorPort" ] && [ -e "$consolePort" ] && [ -e "$secondLine" ]; }
for _ in $(seq 50); do
    ready && break
    kill -0 "$simPid" 2>/dev/null && kill -0 "$secondPid" 2>/dev/null || break
    sleep 0.1
done
if ! ready; then
    echo "demo: the simulator did not start:" >&2
    cat "$work/sim.log" "$work/sim-2.log" >&2
    exit 1
fi

export TARVIK_PORTS="$editorPort:$consolePort:$secondLine"

echo "Controller simulator: $editorPort (editor), $consolePort (console)"
echo "  controllers 1 and 2 on that line; controller 3 alone on $secondLine"
echo "Drive them with: echo help | socat - UNIX-CONNECT:$work/control (line 1; \"slave 2\" picks controller 2)"
echo "                 echo help | socat - UNIX-CONNECT:$work/control-2 (line 2)"

pids=()
# The demo's writes go to a record of their own, not the user's.
XDG_CONFIG_HOME="$work/editor-settings" TARVIK_WRITE_LOG="$work/writes.sqlite" "$editor" "$@" &
pids+=($!)
if [ -x "$console" ]; then
    # The console finds Alarm.wav beside itself, whatever the working directory.
    # Its journal lives in the throw-away folder too.
    XDG_CONFIG_HOME="$work/console-settings" TARVIK_JOURNAL="$work/journal.sqlite" "$console" &
    pids+=($!)
fi
if [ -x "$dispatch" ] && [ -n "${TARVIK_MQTT:-}" ]; then
    XDG_CONFIG_HOME="$work/dispatch-settings" TARVIK_DISPATCH_JOURNAL="$work/dispatch.sqlite" "$dispatch" &
    pids+=($!)
fi
status=0
for pid in "${pids[@]}"; do
    wait "$pid" || status=$?
done
exit $status
