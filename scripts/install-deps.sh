#!/usr/bin/env bash
# Installs the Debian packages that building and testing Tsunagi needs, and only those that are missing.
# Usage: scripts/install-deps.sh [extra-package ...]
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev qt6-translations-l10n
  libsqlcipher-dev libssl-dev libicu-dev
  libfreexl-dev libxlsxwriter-dev zlib1g-dev liborcus-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-format python3 python3-xlrd python3-openpyxl python3-vobject
  qtkeychain-qt6-dev radicale xandikos
  desktop-file-utils appstream lintian
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
