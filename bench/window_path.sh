#!/usr/bin/env bash
# The window's own path against the command line's on N phone cards, side by side: the file
# opened into the program's password-protected store and listed, then saved to the phone's
# file (the same bytes either way), with the time and peak memory of each.
# Usage: bench/window_path.sh [N]   (default 100000)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh time
n=${1:-100000}
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench --target tsunagi-cli make-cards window-path >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build-bench/bench/make-cards "$n" > "$work/cards.vcf"
mkdir -p "$work/data/database"
cp build-bench/app/database/keitai.mdb "$work/data/database/"

/usr/bin/time -f "%e %M" -o "$work/w" build-bench/bench/window-path "$work/cards.vcf" \
  "$work/window.vcf" "$work/data" 2>/dev/null
/usr/bin/time -f "%e %M" -o "$work/c" build-bench/app/tsunagi-cli -o "$work/cli.vcf" \
  "$work/cards.vcf" 2>/dev/null
read -r ws wm < "$work/w"
read -r cs cm < "$work/c"
cmp -s "$work/window.vcf" "$work/cli.vcf" && same="the same bytes" || same="DIFFERENT bytes"
printf '%d cards: window %ss, peak %.1f MiB; command line %ss, peak %.1f MiB; %.1fx the time, %s\n' \
  "$n" "$ws" "$(awk "BEGIN{print $wm/1024}")" "$cs" "$(awk "BEGIN{print $cm/1024}")" \
  "$(awk "BEGIN{print ($cs > 0 ? $ws / $cs : 0)}")" "$same"
