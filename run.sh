#!/usr/bin/env bash
# Installs what is missing, builds Tsunagi and starts it.
set -euo pipefail
cd "$(dirname "$0")"
# The whole interface is Japanese: make sure a font that has the characters is there.
scripts/install-deps.sh fonts-noto-cjk
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target tsunagi tsunagi-cli
exec build/app/tsunagi "$@"
