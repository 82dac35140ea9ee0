#!/usr/bin/env bash
# Demo of the unattended site: the service tarvik-site, run in the foreground
# as systemd would run it, polls three simulated controllers on two lines
# (controllers 1 and 2 on one, 3 on the other), journals into a throw-away
# folder and publishes to the demo's private broker (TARVIK_MQTT, see
# demo-broker.sh) when there is one. Ctrl+C stops it as systemctl stop does;
# kill -HUP <pid> makes it re-read its site.ini.
# BUILD_DIR selects the build directory (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${BUILD_DIR:-build}")
sim=$build/sim/TarvikSim
service=$build/site/tarvik-site
for program in "$sim" "$service"; do
    [ -x "$program" ] || { echo "demo: $program is not built" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvik-site-demo.XXXXXX")
firstLine=$work/line-1
secondLine=$work/line-2
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

"$sim" --link "$firstLine" --slave 1,2 --demo --line-timing \
    --control "$work/control-1" < /dev/null > "$work/sim-1.log" 2>&1 &
pids+=($!)
"$sim" --link "$secondLine" --address 3 --demo --line-timing \
    --control "$work/control-2" < /dev/null > "$work/sim-2.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do
    [ -e "$firstLine" ] && [ -e "$secondLine" ] && break
    sleep 0.1
done
if ! [ -e "$firstLine" ] || ! [ -e "$secondLine" ]; then
    echo "demo: the simulator did not start:" >&2
    cat "$work/sim-1.log" "$work/sim-2.log" >&2
    exit 1
fi

# The console's keys, as an installer writes /etc/tarvik/site.ini.
mqtt="enabled=false"
if [ -n "${TARVIK_MQTT:-}" ]; then
    mqtt="enabled=true
host=${TARVIK_MQTT%:*}
port=${TARVIK_MQTT##*:}
prefix=tarvik/demo-site"
fi
cat > "$work/site.ini" <<INI
portName=$firstLine
baudRate=9600
address=1

[controllers]
size=3
1\\name=Котельная
2\\name="Котельная, котёл 2"
2\\portName=$firstLine
2\\baudRate=9600
2\\address=2
3\\name=Цех 2
3\\portName=$secondLine
3\\baudRate=9600
3\\address=3

[mqtt]
$mqtt

[journal]
path=$work/journal.sqlite
INI

echo "Controller simulator: controllers 1 and 2 on $firstLine, controller 3 on $secondLine"
echo "Drive them with: echo help | socat - UNIX-CONNECT:$work/control-1 (\"slave 2\" picks controller 2)"
echo "                 echo help | socat - UNIX-CONNECT:$work/control-2"
echo "The service's configuration: $work/site.ini; its journal: $work/journal.sqlite"
"$service" --check --config "$work/site.ini"
echo "Starting tarvik-site; Ctrl+C stops it."
"$service" --config "$work/site.ini" &
servicePid=$!
trap 'kill -TERM "$servicePid" 2>/dev/null || true' INT TERM
status=0
wait "$servicePid" || status=$?
# Interrupted waits return early; wait for the service's own end.
while kill -0 "$servicePid" 2>/dev/null; do
    wait "$servicePid" || status=$?
done
exit $status
