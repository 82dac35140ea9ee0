#!/usr/bin/env bash
# Sourced by run.sh: when mosquitto is installed, starts a private broker on a
# free loopback port for the demo, points the console at it (TARVIK_MQTT) and
# prints how to watch it. demo_broker_stop ends it.
demo_broker_pid=""
demo_broker_dir=""

demo_broker_start() {
    command -v mosquitto > /dev/null || return 0
    demo_broker_dir=$(mktemp -d "${TMPDIR:-/tmp}/tarvik-broker.XXXXXX")
    local port
    for _ in 1 2 3 4 5; do
        port=$((20000 + RANDOM % 40000))
        # As root mosquitto would turn into the user "mosquitto", who cannot read this folder.
        printf 'user %s\nlistener %s 127.0.0.1\nallow_anonymous true\n' "$(id -un)" "$port" \
            > "$demo_broker_dir/broker.conf"
        mosquitto -c "$demo_broker_dir/broker.conf" > "$demo_broker_dir/broker.log" 2>&1 &
        demo_broker_pid=$!
        sleep 0.3
        if kill -0 "$demo_broker_pid" 2>/dev/null; then
            export TARVIK_MQTT="127.0.0.1:$port"
            echo "MQTT broker for the demo: 127.0.0.1:$port; watch it with:"
            echo "    mosquitto_sub -h 127.0.0.1 -p $port -t 'tarvik/#' -v"
            return 0
        fi
        demo_broker_pid=""
    done
    echo "demo: mosquitto did not start, the console will not publish:" >&2
    cat "$demo_broker_dir/broker.log" >&2
}

demo_broker_stop() {
    if [ -n "$demo_broker_pid" ]; then
        kill "$demo_broker_pid" 2>/dev/null || true
        wait "$demo_broker_pid" 2>/dev/null || true
    fi
    [ -n "$demo_broker_dir" ] && rm -rf "$demo_broker_dir"
    return 0
}
