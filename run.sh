#!/usr/bin/env bash
# Installs what is missing, builds Tsunagi and starts it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target tsunagi tsunagi-cli
exec build/app/tsunagi "$@"
