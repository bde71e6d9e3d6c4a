#!/usr/bin/env bash
# The first sync of 1,000 new people to radicale on loopback, then one changed, then none:
# the time of each run and the requests it made (the target: the first under 10 s).
# Also on xandikos where it is installed, and the server's own floor: the same 1,000 cards
# written by a plain keep-alive client, one PUT each.
# Usage: bench/carddav_sync.sh [BUILD_DIR]
set -euo pipefail
build=${1:-build}
exec /usr/bin/python3 - "$build/app/tsunagi-cli" "$(dirname "$0")/../tests/sync" <<'PY'
import base64, http.client, os, shutil, subprocess, sys, tempfile, time
sys.path.insert(0, sys.argv[2])
from carddav_server import PASSWORD, USER, Radicale, Xandikos
cli = sys.argv[1]


def floor(server):
    server.make_book("floor")
    connection = http.client.HTTPConnection("127.0.0.1", server.port)
    token = base64.b64encode(("%s:%s" % (USER, PASSWORD)).encode()).decode()
    start = time.monotonic()
    for n in range(1000):
        body = ("BEGIN:VCARD\r\nVERSION:3.0\r\nN:高橋;%04d;;;\r\nFN:高橋%04d\r\n"
                "TEL;TYPE=CELL:090%08d\r\nUID:f%d\r\nEND:VCARD\r\n" % (n, n, n, n))
        connection.request("PUT", server.book_path("floor") + "f%d.vcf" % n, body.encode(),
                           {"Authorization": "Basic " + token, "If-None-Match": "*",
                            "Content-Type": "text/vcard; charset=utf-8"})
        connection.getresponse().read()
    return time.monotonic() - start


for kind in [Radicale] + ([Xandikos] if shutil.which("xandikos") else []):
  server = kind()
  print("== " + kind.name)
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
            elapsed = time.monotonic() - start
            print("%-24s %6.2f s  %s" % (label, elapsed, out.strip().splitlines()[-1]))
            if label.startswith("first"):
                first = elapsed
        bare = floor(server)
        print("%-24s %6.2f s  (first sync %.2fx of it)" % ("server floor, 1,000 PUT", bare,
                                                            first / bare))
  finally:
    server.stop()
PY
