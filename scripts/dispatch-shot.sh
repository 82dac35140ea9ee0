#!/usr/bin/env bash
# Run by screenshots.sh under Xvfb: TarvikDispatch against a private broker
# where a few sites have published their status and states (one offline, one
# controller without link, events waiting); "Пульт" shows the worst controller
# until one is chosen. Saves the screen as $TARVIK_SHOT_DIR/dispatch.png.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${BUILD_DIR:-build}")
work=$(mktemp -d "${TMPDIR:-/tmp}/tarvik-dispatch-shot.XXXXXX")
broker=""
dispatch=""
cleanup() {
    for pid in $dispatch $broker; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
port=$((20000 + RANDOM % 40000))
printf 'user %s\nlistener %s 127.0.0.1\nallow_anonymous true\n' "$(id -un)" "$port" > "$work/broker.conf"
mosquitto -c "$work/broker.conf" > "$work/broker.log" 2>&1 &
broker=$!
sleep 0.5
pub() { mosquitto_pub -h 127.0.0.1 -p "$port" -q 1 "$@"; }
state() { # site, controller level, name, link, vpk, events
    pub -r -t "tarvik/$1/$2/state" -m "{\"controller\":\"$3\",\"events\":[$6],\"lamps\":{},\"link\":\"$4\",\"vpk\":$5}"
}
event() { echo "{\"code\":$1,\"name\":\"$2\",\"source\":32,\"time\":\"$(date +%Y-%m-%dT%H:%M:%S -d "-$3 min")\"}"; }
for site in boiler-room-1 boiler-room-2 school-12 clinic; do pub -r -t "tarvik/$site/status" -m online; done
state boiler-room-1 Котельная Котельная polling 4325380 "$(event 4 Пожар 12),$(event 5 'Порог СО 1' 3)"
state boiler-room-1 Цех_2 "Цех 2" polling 4194304 ""
state boiler-room-2 Котельная Котельная no-link 0 ""
state school-12 dev_ttyUSB0-1 "/dev/ttyUSB0, адрес 1" polling 4194304 ""
state clinic Подвал Подвал polling 4194304 ""
XDG_CONFIG_HOME="$work/settings" TARVIK_DISPATCH_JOURNAL="$work/dispatch.sqlite" TARVIK_MQTT="127.0.0.1:$port" \
    "$build/dispatch/TarvikDispatch" -qwindowgeometry 1366x768+0+0 &
dispatch=$!
sleep 3
pub -r -t tarvik/clinic/status -m offline # its last will, as if its computer died
sleep 1
import -window root "$TARVIK_SHOT_DIR/dispatch.png"
