#!/usr/bin/env bash
# Times tsunagi-cli on N generated phone cards against the floor of converting the same bytes
# with iconv, and prints the ratio and the peak memory of each run.
# Usage: bench/run.sh [N]   (default 100000)
set -euo pipefail
export LC_ALL=C  # a point before the shell clock's decimals
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

# One timed run: seconds and peak resident memory (KiB) of a command. The seconds are the
# shell's clock to the millisecond around the run (GNU time's own has two decimals, too coarse
# against a floor of 0.08 s); the memory is GNU time's.
once() {
  local start=$EPOCHREALTIME end
  /usr/bin/time -f "%M" -o "$work/t" "$@" >/dev/null 2>&1
  end=$EPOCHREALTIME
  echo "$(awk "BEGIN{printf \"%.3f\", $end - $start}") $(cat "$work/t")"
}
median() { sort -g | awk '{v[NR]=$1} END{print v[int((NR+1)/2)]}'; }
# Best of three, for the floors' parts that are measured once.
measure() {
  local best="" mem=0
  for _ in 1 2 3; do
    read -r s m < <(once "$@")
    if [ -z "$best" ] || awk "BEGIN{exit !($s < $best)}"; then best=$s; fi
    mem=$m
  done
  echo "$best $mem"
}

printf '%d cards, %s MiB\n\n' "$n" "$(du -m "$work/cards.vcf" | cut -f1)"
printf '%-24s %8s %8s %7s %9s %9s\n' "run" "seconds" "floor" "ratio" "peak MiB" "out MiB"
# One row: five paired runs of the command and of its floor (iconv over the input's bytes,
# plus for an export iconv writing the output's bytes), each pair giving a ratio; the medians.
row() {
  local name=$1 out=$2 floorcmd=$3; shift 3
  local times=() floors=() ratios=() mem=0 size=0
  "$@" >/dev/null 2>&1  # once first, for the output and the caches
  if [ -n "$out" ]; then
    iconv -f CP932 -t UTF-8 "$out" > "$work/out.utf8" 2>/dev/null || cp "$out" "$work/out.utf8"
    size=$(du -m "$out" | cut -f1)
  fi
  for _ in 1 2 3 4 5; do
    read -r f _ < <(once sh -c "$floorcmd")
    if [ -n "$out" ]; then
      read -r w _ < <(once sh -c "iconv -f UTF-8 -t CP932 '$work/out.utf8' > '$work/floor.out'")
      f=$(awk "BEGIN{print $f + $w}")
    fi
    read -r s m < <(once "$@")
    times+=("$s"); floors+=("$f"); mem=$m
    ratios+=("$(awk "BEGIN{print ($f > 0 ? $s / $f : 0)}")")
  done
  printf '%-24s %8.3f %8.3f %6.2fx %9.1f %9s\n' "$name" \
    "$(printf '%s\n' "${times[@]}" | median)" "$(printf '%s\n' "${floors[@]}" | median)" \
    "$(printf '%s\n' "${ratios[@]}" | median)" "$(awk "BEGIN{print $m / 1024}")" "$size"
}
phone_floor="iconv -f CP932 -t UTF-8 '$work/cards.vcf' | wc -l"
row "import, --list"       ""               "$phone_floor" "$cli" --list "$work/cards.vcf"
row "import + VCF export"  "$work/out.vcf"  "$phone_floor" "$cli" -o "$work/out.vcf" "$work/cards.vcf"
row "import + CSV export"  "$work/out.csv"  "$phone_floor" "$cli" -o "$work/out.csv" "$work/cards.vcf"
row "import + HTML export" "$work/out.html" "$phone_floor" "$cli" -o "$work/out.html" "$work/cards.vcf"

# Smartphone cards (vCard 3.0, UTF-8) turned into the phone's card file, against the floor of
# the same bytes through iconv.
build-bench/bench/make-cards "$n" --foreign > "$work/phone3.vcf"
row "3.0 UTF-8 + VCF export" "$work/out3.vcf" "iconv -f UTF-8 -t UTF-8 '$work/phone3.vcf' | wc -l" \
  "$cli" -o "$work/out3.vcf" "$work/phone3.vcf"
echo
echo "floor: iconv over the same bytes: the input to UTF-8 (| wc -l), plus UTF-8 to CP932 of the"
echo "output for an export; medians of five paired runs"

# Workbooks: 60,000 entries written and read back (the most the workbook import reads).
build-bench/bench/make-cards 60000 > "$work/c60.vcf"
echo
printf '%-34s %8s %9s\n' "workbook run (60000 entries)" "seconds" "peak MiB"
wrow() {
  local name=$1; shift
  read -r s m < <(measure "$@")
  printf '%-34s %8.3f %9.1f\n' "$name" "$s" "$(awk "BEGIN{print $m / 1024}")"
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
