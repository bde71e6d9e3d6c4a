#!/usr/bin/env bash
# Times tsunagi-cli on N generated phone cards against the floor of converting the same bytes
# with iconv, and prints the ratio and the peak memory of each run.
# Usage: bench/run.sh [N]   (default 100000)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh time
n=${1:-100000}
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench --target tsunagi-cli make-cards list-refresh merge-bench >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cli=build-bench/app/tsunagi-cli
build-bench/bench/make-cards "$n" > "$work/cards.vcf"
iconv -f CP932 -t UTF-8 "$work/cards.vcf" > "$work/cards.utf8"

# Best of three: seconds and peak resident memory (KiB) of a command.
measure() {
  local best="" mem=0
  for _ in 1 2 3; do
    /usr/bin/time -f "%e %M" -o "$work/t" "$@" >/dev/null
    read -r s m < "$work/t"
    if [ -z "$best" ] || awk "BEGIN{exit !($s < $best)}"; then best=$s; fi
    mem=$m
  done
  echo "$best $mem"
}

read -r floor_read _ < <(measure sh -c "iconv -f CP932 -t UTF-8 '$work/cards.vcf' | wc -l")

printf '%d cards, %s MiB\n\n' "$n" "$(du -m "$work/cards.vcf" | cut -f1)"
printf '%-24s %8s %8s %7s %9s %9s\n' "run" "seconds" "floor" "ratio" "peak MiB" "out MiB"
# One run: its time against the floor of reading the input and, for an export, of writing
# the output's bytes (iconv from the output's UTF-8 form back to CP932).
row() {
  local name=$1 out=$2; shift 2
  read -r s m < <(measure "$@")
  local floor=$floor_read size=0
  if [ -n "$out" ]; then
    iconv -f CP932 -t UTF-8 "$out" > "$work/out.utf8"
    read -r w _ < <(measure sh -c "iconv -f UTF-8 -t CP932 '$work/out.utf8' > '$work/floor.out'")
    floor=$(awk "BEGIN{print $floor_read + $w}")
    size=$(du -m "$out" | cut -f1)
  fi
  printf '%-24s %8.2f %8.2f %6.1fx %9.1f %9s\n' "$name" "$s" "$floor" \
    "$(awk "BEGIN{print ($floor > 0 ? $s / $floor : 0)}")" "$(awk "BEGIN{print $m / 1024}")" "$size"
}
row "import, --list"       ""                "$cli" --list "$work/cards.vcf"
row "import + VCF export"  "$work/out.vcf"   "$cli" -o "$work/out.vcf" "$work/cards.vcf"
row "import + CSV export"  "$work/out.csv"   "$cli" -o "$work/out.csv" "$work/cards.vcf"
row "import + HTML export" "$work/out.html"  "$cli" -o "$work/out.html" "$work/cards.vcf"

# Smartphone cards (vCard 3.0, UTF-8) turned into the phone's card file, against the floor of
# the same bytes through iconv.
build-bench/bench/make-cards "$n" --foreign > "$work/phone3.vcf"
read -r floor_read _ < <(measure sh -c "iconv -f UTF-8 -t UTF-8 '$work/phone3.vcf' | wc -l")
row "3.0 UTF-8 + VCF export" "$work/out3.vcf"  "$cli" -o "$work/out3.vcf" "$work/phone3.vcf"
echo
echo "floor: iconv over the same bytes: CP932 to UTF-8 of the input (| wc -l), plus UTF-8 to CP932"
echo "of the output for an export; best of three runs each"

# Workbooks: 60,000 entries written and read back (the most the workbook import reads).
build-bench/bench/make-cards 60000 > "$work/c60.vcf"
echo
printf '%-34s %8s %9s\n' "workbook run (60000 entries)" "seconds" "peak MiB"
wrow() {
  local name=$1; shift
  read -r s m < <(measure "$@")
  printf '%-34s %8.2f %9.1f\n' "$name" "$s" "$(awk "BEGIN{print $m / 1024}")"
}
read -r import_only _ < <(measure "$cli" "$work/c60.vcf")
wrow "vcf import only (subtract below)" "$cli" "$work/c60.vcf"
wrow "vcf import + .xls export" "$cli" -o "$work/book.xls" "$work/c60.vcf"
wrow "vcf import + .xlsx export" "$cli" -o "$work/book.xlsx" "$work/c60.vcf"
wrow ".xls import" "$cli" "$work/book.xls"
wrow ".xlsx import" "$cli" "$work/book.xlsx"

echo
build-bench/bench/list-refresh "$work/cards.vcf"
echo
build-bench/bench/merge-bench "$n"
