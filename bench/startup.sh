#!/usr/bin/env bash
# Times Tsunagi's start, from launch to the main window on the screen, in a virtual screen:
# once with an empty store and once with 100,000 entries left from a previous run (the start
# deletes them). Usage: bench/startup.sh [N]   (default 100000)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh xvfb xauth fonts-noto-cjk xdotool
n=${1:-100000}
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench --target tsunagi make-cards fill-store >/dev/null
app=build-bench/app
work=$(mktemp -d)
export DISPLAY=:78
Xvfb "$DISPLAY" -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
sleep 1
cp "$app/database/keitai.mdb" "$work/clean.mdb"

# Launch, wait until the main window is mapped, close it; prints the seconds it took.
start_once() {
  local t0 t1
  t0=$(date +%s.%N)
  "$app/tsunagi" 2>/dev/null &
  local pid=$!
  # Every 10 ms: xdotool's own --sync polls only every half second.
  until xdotool search --onlyvisible --name '^Tsunagi1\.0\.0$' >/dev/null 2>&1; do sleep 0.01; done
  t1=$(date +%s.%N)
  kill "$pid"; wait "$pid" 2>/dev/null || true
  awk "BEGIN{printf \"%.2f\", $t1 - $t0}"
}

printf '%-40s %8s\n' "start" "seconds"
cp "$work/clean.mdb" "$app/database/keitai.mdb"
start_once >/dev/null  # warm the caches
printf '%-40s %8s\n' "empty store" "$(start_once)"
build-bench/bench/make-cards "$n" > "$work/cards.vcf"
cp "$work/clean.mdb" "$app/database/keitai.mdb"
build-bench/bench/fill-store "$app" "$work/cards.vcf" >/dev/null
printf '%-40s %8s\n' "$n entries left from the last run" "$(start_once)"
printf '%-40s %8s\n' "store file after that start" "$(du -k "$app/database/keitai.mdb" | cut -f1) KiB"
cp "$work/clean.mdb" "$app/database/keitai.mdb"
