#!/usr/bin/env bash
# Starts Tsunagi in a virtual screen and saves a picture of it, to look at it as a user would.
# Usage: scripts/screenshot.sh OUT.png [xdotool command ...]
#   e.g. scripts/screenshot.sh about.png "mousemove 460 220 click 1" "key Down Down Return"
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh xvfb xauth fonts-noto-cjk imagemagick xdotool
out=$(realpath -m "$1"); shift
export DISPLAY=:77
Xvfb "$DISPLAY" -screen 0 800x600x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $app $xvfb 2>/dev/null || true' EXIT
sleep 1
build/app/tsunagi &
app=$!
sleep 2
for command in "$@"; do xdotool $command; sleep 0.8; done
import -window root "$out"
echo "saved $out"
