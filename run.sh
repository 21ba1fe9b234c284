#!/usr/bin/env bash
# Builds the system into build/ and runs it on the shipped example: the control
# service simulator with its calendar running fast, and the workstation
# connected to it, so the map changes colour by itself.
# Without a display the same session runs offscreen and leaves a screenshot.
set -euo pipefail
cd "$(dirname "$0")"

PORT="${VELMORA_PORT:-7411}"
ZONE=examples/zarechny.xtsc
BUILD=build

./scripts/install-deps.sh

cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_BENCH=OFF \
    -DVELMORA_APPS="inspect;service;workstation"
cmake --build "$BUILD" -j"$(nproc)" --target Velmora velmora-inspect velmora-service velmora-workstation morvix

SERVICE_LOG="$BUILD/service.log"
SERVICE_PID=
stop_service() {
    if [ -n "$SERVICE_PID" ] && kill -0 "$SERVICE_PID" 2>/dev/null; then
        kill "$SERVICE_PID" 2>/dev/null || true
        wait "$SERVICE_PID" 2>/dev/null || true
    fi
}
trap stop_service EXIT
trap 'exit 130' INT TERM

# The simulated clock starts on this week's Monday at 06:29, a minute before the
# example's morning strategy takes over, so the first seconds already show changes.
MONDAY=$(date -d "-$(( ($(date +%u) + 6) % 7 )) days" +%Y-%m-%d)
START="${MONDAY}T06:29"

# Starts the service on the given port (0: any free one) and sets PORT to the
# port it reports; fails when it does not come up.
start_service() {
    "$BUILD/bin/velmora-service" --port "$1" --calendar --speed 60 --start "$START" "$ZONE" >"$SERVICE_LOG" 2>&1 &
    SERVICE_PID=$!
    for _ in $(seq 1 100); do
        if grep -q 'listening on 127.0.0.1:' "$SERVICE_LOG" 2>/dev/null; then
            PORT=$(grep -o 'listening on 127.0.0.1:[0-9]*' "$SERVICE_LOG" | head -n 1 | cut -d: -f2)
            return 0
        fi
        kill -0 "$SERVICE_PID" 2>/dev/null || break
        sleep 0.1
    done
    stop_service
    SERVICE_PID=
    return 1
}

if ! start_service "$PORT"; then
    echo "Port $PORT is busy, letting the service pick a free one."
    start_service 0 || { echo "The service did not start:"; cat "$SERVICE_LOG"; exit 1; }
fi
echo "Control service on 127.0.0.1:$PORT (log: $SERVICE_LOG)"

ARGS=(--service "127.0.0.1:$PORT" --storage examples/storage "$ZONE")
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    SHOT="$BUILD/screenshot.png"
    echo "No display: running the session offscreen for a few seconds."
    export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
    QT_QPA_PLATFORM=offscreen "$BUILD/bin/velmora-workstation" \
        --screenshot "$SHOT" --quit-after 6000 "${ARGS[@]}"
    echo "Screenshot of the workstation: $(pwd)/$SHOT"
else
    "$BUILD/bin/velmora-workstation" "${ARGS[@]}"
fi
