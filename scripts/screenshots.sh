#!/usr/bin/env bash
# Refreshes docs/editor.png and docs/console.png: runs the demo under Xvfb at
# 1366x768 with the real windows driven by the screenshot helpers (the editor
# after a Read, the console polling with events and lit lamps); then
# docs/editor-1280.png, the editor alone at 1280x720; then docs/dispatch.png,
# the dispatcher at 1366x768 watching a few sites (scripts/dispatch-shot.sh).
# BUILD_DIR selects the build directory (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${BUILD_DIR:-build}")
cmake --build "$build" --target TarvikSim TarvikDispatch tarvik_screenshot_editor tarvik_screenshot_console > /dev/null
out=$(mktemp -d "${TMPDIR:-/tmp}/tarvik-shots.XXXXXX")
trap 'rm -rf "$out"' EXIT
TARVIK_SHOT_DIR=$out \
TARVIK_DEMO_EDITOR=$build/tools/tarvik_screenshot_editor \
TARVIK_DEMO_CONSOLE=$build/tools/tarvik_screenshot_console \
BUILD_DIR=$build \
    xvfb-run -a -s "-screen 0 1366x768x24" ./scripts/demo.sh
# The editor alone again on the smallest screen it is made for.
TARVIK_SHOT_DIR=$out TARVIK_SHOT_NAME=editor-1280.png \
TARVIK_DEMO_EDITOR=$build/tools/tarvik_screenshot_editor \
TARVIK_DEMO_CONSOLE=/nonexistent \
BUILD_DIR=$build \
    xvfb-run -a -s "-screen 0 1280x720x24" ./scripts/demo.sh
TARVIK_SHOT_DIR=$out BUILD_DIR=$build xvfb-run -a -s "-screen 0 1366x768x24" ./scripts/dispatch-shot.sh
mkdir -p docs
for shot in editor editor-1280 console dispatch; do
    # A palette of 64 colours keeps each picture small and the text sharp.
    convert "$out/$shot.png" -strip -colors 64 "PNG8:docs/$shot.png"
    echo "docs/$shot.png: $(identify -format '%wx%h' "docs/$shot.png"), $(stat -c %s "docs/$shot.png") bytes"
done
