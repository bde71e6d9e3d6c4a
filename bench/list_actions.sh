#!/usr/bin/env bash
# Times the main window's list and what a user does with it (select, maximise, sort by reading
# and back, search, select, back to the first size) at 2,400 and 50,000 entries, offscreen.
# The target: each action within 0.1 s at 2,400 and within 1 s at 50,000.
# Usage: bench/list_actions.sh
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench --target make-cards list-refresh >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for n in 2400 50000; do
  build-bench/bench/make-cards "$n" > "$work/cards.vcf"
  XDG_RUNTIME_DIR=$work build-bench/bench/list-refresh "$work/cards.vcf" 2>/dev/null
done
