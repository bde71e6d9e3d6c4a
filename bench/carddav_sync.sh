#!/usr/bin/env bash
# The first sync of 1,000 new people to radicale on loopback, then one changed, then none:
# the time of each run and the requests it made (the target: the first under 10 s).
# Usage: bench/carddav_sync.sh [BUILD_DIR]
set -euo pipefail
build=${1:-build}
exec /usr/bin/python3 - "$build/app/tsunagi-cli" "$(dirname "$0")/../tests/sync" <<'PY'
import os, subprocess, sys, tempfile, time
sys.path.insert(0, sys.argv[2])
from carddav_server import Radicale, USER
cli = sys.argv[1]
server = Radicale()
try:
    server.make_book("bench")
    with tempfile.TemporaryDirectory() as folder:
        def phone(name, changed):
            text = ""
            for n in range(1000):
                mail = "EMAIL;INTERNET:p%d@example.jp\r\n" % n if n == changed else ""
                text += ("BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=SHIFT_JIS:高橋;%04d\r\n"
                         "TEL;CELL:090%08d\r\n%sX-GNO:0\r\nX-JPG-MDNO:%d\r\nEND:VCARD\r\n"
                         % (n, n, mail, n + 1))
            path = os.path.join(folder, name)
            open(path, "wb").write(text.encode("cp932"))
            return path
        for label, path in (("first sync, 1,000 new", phone("a.vcf", -1)),
                            ("one changed", phone("b.vcf", 500)),
                            ("nothing changed", phone("b.vcf", 500))):
            start = time.monotonic()
            out = subprocess.run([cli, "--carddav", server.book_url("bench"), "--user", USER,
                                  "--password-file", server.password_file, "--sync-state",
                                  os.path.join(folder, "state"), path],
                                 capture_output=True, text=True, check=True).stdout
            print("%-24s %6.2f s  %s" % (label, time.monotonic() - start,
                                         out.strip().splitlines()[-1]))
finally:
    server.stop()
PY
