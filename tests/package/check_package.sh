#!/usr/bin/env bash
# The Debian package as a user gets it: built with CPack from a build folder, unpacked (not
# installed) into a temporary folder, its declared dependencies and files checked, its CLI run
# on a card file and a workbook (the helper found through the install layout), its window
# started on the offscreen platform with the store made in a temporary XDG_DATA_HOME, and the
# validators of the Debian world run over it.
# Usage: tests/package/check_package.sh BUILD_FOLDER
set -euo pipefail
build=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0; checks=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  checks=$((checks + 1))
  if "$@" >"$work/out" 2>&1; then return 0; fi
  failures=$((failures + 1)); echo "FAILED: $what"; sed 's/^/  /' "$work/out" | head -20
}

(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/tsunagi_*_amd64.deb)
root=$work/root
dpkg-deb -x "$deb" "$root"

depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt6widgets6 libsqlcipher0 libfreexl1 libxlsxwriter4 liborcus-0.17-0 \
               libicu72 qt6-translations-l10n qt6-qpa-plugins; do
  check "Depends names $package" grep -q "$package" <<<"$depends"
done
check "Recommends the Japanese font" grep -q fonts-noto-cjk <<<"$(dpkg-deb -f "$deb" Recommends)"

expected=(usr/bin/tsunagi usr/bin/tsunagi-cli usr/libexec/tsunagi/tsunagi-xlsread
  usr/libexec/tsunagi/tsunagi-sync
  usr/share/tsunagi/database/keitai.mdb usr/share/tsunagi/database/template.xls
  usr/share/tsunagi/help/help.html usr/share/applications/jp.example.Tsunagi.desktop
  usr/share/icons/hicolor/scalable/apps/jp.example.Tsunagi.svg
  usr/share/metainfo/jp.example.Tsunagi.metainfo.xml usr/share/man/man1/tsunagi.1.gz
  usr/share/man/man1/tsunagi-cli.1.gz usr/share/doc/tsunagi/copyright
  usr/share/doc/tsunagi/changelog.gz)
(cd "$root" && find . -type f | sed 's|^\./||' | sort) > "$work/files"
check "the package holds exactly its files" diff <(printf '%s\n' "${expected[@]}" | sort) "$work/files"
check "nothing of the build tree in the programs" \
  bash -c "! grep -l '$build' '$root'/usr/bin/* '$root'/usr/libexec/tsunagi/*"

cli=$root/usr/bin/tsunagi-cli
check "--version as GNU programs print it" bash -c "'$cli' --version | grep -q '^tsunagi-cli (Tsunagi) '"
check "--help to standard output" bash -c "'$cli' --help | grep -q -- --vcard3"
printf 'BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=SHIFT_JIS:A\r\nTEL;CELL:090\r\nEND:VCARD\r\n' > "$work/card.vcf"
check "the CLI writes a card file and a workbook" "$cli" -o "$work/out.vcf" -o "$work/book.xls" "$work/card.vcf"
check "the CLI reads the workbook through its helper" bash -c "'$cli' --list '$work/book.xls' | grep -q '1ﾃﾞｰﾀ'"
echo secret > "$work/password"
check "the CLI syncs through its helper, which refuses plain http to another machine" bash -c \
  "'$cli' --carddav http://dav.example.jp/ --user u --password-file '$work/password' '$work/card.vcf' 2>&1 | grep -q 'https://'"
check "and loads no Qt itself" bash -c "! ldd '$cli' | grep -qi libQt6"

data=$work/data
mkdir -p "$work/runtime"; chmod 700 "$work/runtime"
QT_QPA_PLATFORM=offscreen XDG_DATA_HOME=$data XDG_RUNTIME_DIR=$work/runtime \
  timeout 5 "$root/usr/bin/tsunagi" >"$work/gui.log" 2>&1 || true
check "the window makes its store in the user's data folder" test -s "$data/tsunagi/database/keitai.mdb"
check "and its backup folder" test -d "$data/tsunagi/backup"
check "and leaves the shipped store alone" \
  cmp "$root/usr/share/tsunagi/database/keitai.mdb" "$build/app/database/keitai.mdb"

if command -v desktop-file-validate >/dev/null; then
  check "desktop-file-validate" desktop-file-validate "$root/usr/share/applications/jp.example.Tsunagi.desktop"
fi
if command -v appstreamcli >/dev/null; then
  check "appstreamcli validate" appstreamcli validate --no-net "$root/usr/share/metainfo/jp.example.Tsunagi.metainfo.xml"
fi
if command -v lintian >/dev/null; then
  check "lintian finds no errors" bash -c "! lintian '$deb' 2>/dev/null | grep '^E:'"
fi
echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
