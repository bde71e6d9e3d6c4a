#!/usr/bin/env bash
# Installs what is missing, builds Tsunagi and runs every test; then builds it again with
# AddressSanitizer and UndefinedBehaviorSanitizer and runs every test once more, and runs each
# fuzz target for 20 seconds from its seeds, so that a reader that crashes on an old finding
# fails the run.
# Usage: ./test.sh [--quick]   (--quick: the first run only)
set -euo pipefail
cd "$(dirname "$0")"
sanitize=1
for arg in "$@"; do
  case "$arg" in
    --quick) sanitize=0 ;;
    *) echo "usage: ./test.sh [--quick]" >&2; exit 2 ;;
  esac
done
scripts/install-deps.sh

# Formatting drift fails the run before anything is built.
find src tests bench \( -name '*.cpp' -o -name '*.h' \) -not -path '*/corpus/*' -print0 \
  | xargs -0 clang-format --dry-run --Werror
echo "clang-format: every source is formatted"
# Includes point down the floors only.
python3 scripts/check_floors.py src

suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir"
  (cd "$dir" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)")
}

suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo
if [ "$sanitize" = 1 ]; then
  echo "== again with AddressSanitizer and UndefinedBehaviorSanitizer"
  suite build-asan -DCMAKE_BUILD_TYPE=Debug -DTSUNAGI_SANITIZE=ON
  echo "== the fuzz targets, 20 seconds each"
  scripts/fuzz.sh 20
fi
