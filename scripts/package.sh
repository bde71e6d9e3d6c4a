#!/usr/bin/env bash
# Builds the Debian package tsunagi_<version>_amd64.deb (in the project root) with CPack from a
# release build, and runs the validators of the Debian world over it.
# Install it with: sudo apt install ./tsunagi_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-package --target tsunagi tsunagi-cli tsunagi-xlsread program_folder package_files
(cd build-package && cpack -G DEB)
cp build-package/tsunagi_*_amd64.deb .
deb=$(ls tsunagi_*_amd64.deb | tail -1)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work"
desktop-file-validate "$work"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$work"/usr/share/metainfo/*.metainfo.xml
lintian "$deb" || true
echo "built $deb"
