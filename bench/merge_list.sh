#!/usr/bin/env bash
# Times finding and merging duplicates against the plain list, side by side in one run:
#   1. `tsunagi-cli --merge-duplicates --list` of N generated phone cards with N/10 of them again
#      in a second file, against `tsunagi-cli --list` of the same files (best of RUNS, default
#      three, each; the runs taken in turns);
#   2. the same for 20,000 people of other names who all share one office number, against
#      20,000 people with a number each: a number shared by everybody costs no more.
# Usage: bench/merge_list.sh [N] [BUILD]   (default 100000, build)
set -euo pipefail
cd "$(dirname "$0")/.."
n=${1:-100000}
build=${2:-build}
cmake --build "$build" --target tsunagi-cli make-cards >/dev/null
cli=$build/app/tsunagi-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build"/bench/make-cards "$n" > "$work/cards.vcf"
# The first tenth again, as a second backup of the same phone.
awk -v keep=$((n / 10)) '/^BEGIN:VCARD/ {c++} c <= keep' "$work/cards.vcf" > "$work/again.vcf"

# The best of RUNS (default 3) wall-clock times, in seconds to the millisecond.
best() {
  local top=""
  for _ in $(seq "${RUNS:-3}"); do
    local start end s
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    s=$(awk "BEGIN{printf \"%.3f\", ($end - $start) / 1e9}")
    if [ -z "$top" ] || awk "BEGIN{exit !($s < $top)}"; then top=$s; fi
  done
  echo "$top"
}
ratio() { awk "BEGIN{printf \"%.2f\", ($2 > 0 ? $1 / $2 : 0)}"; }

# Taken in turns, so that both see the same machine.
list="" merge=""
for _ in $(seq "${RUNS:-3}"); do
  list=$(printf '%s\n' $list "$(RUNS=1 best "$cli" --list "$work/cards.vcf" "$work/again.vcf")" | sort -n | head -1)
  merge=$(printf '%s\n' $merge "$(RUNS=1 best "$cli" --merge-duplicates --list "$work/cards.vcf" "$work/again.vcf")" | sort -n | head -1)
done
printf '%d cards + %d again: --list %ss, --merge-duplicates --list %ss, ratio %sx (target <= 1.5x)\n' \
  "$n" $((n / 10)) "$list" "$merge" "$(ratio "$merge" "$list")"

# 20,000 staff on one main number, and 20,000 with numbers of their own.
python3 - "$work" <<'EOF'
import sys
work = sys.argv[1]
for name, shared in (("shared.vcf", True), ("distinct.vcf", False)):
    with open("%s/%s" % (work, name), "wb") as f:
        for i in range(20000):
            number = "0355550000" if shared else "03%08d" % i
            f.write(("BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=SHIFT_JIS:社員;%05d\r\n"
                     "TEL;VOICE;WORK:%s\r\nX-JPG-MDNO:%d\r\nEND:VCARD\r\n" % (i, number, i + 1))
                    .encode("cp932"))
EOF
# Runs of 35 ms: the best of fifteen each, taken in turns so that both see the same machine.
shared="" distinct=""
for _ in $(seq 15); do
  shared=$(printf '%s\n' $shared "$(RUNS=1 best "$cli" --merge-duplicates --list "$work/shared.vcf")" | sort -n | head -1)
  distinct=$(printf '%s\n' $distinct "$(RUNS=1 best "$cli" --merge-duplicates --list "$work/distinct.vcf")" | sort -n | head -1)
done
printf '20000 on one number %ss, 20000 numbers of their own %ss, ratio %sx (target <= 1x)\n' \
  "$shared" "$distinct" "$(ratio "$shared" "$distinct")"
