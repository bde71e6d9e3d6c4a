#!/usr/bin/env python3
"""tsunagi-cli --carddav against a real server (Debian's radicale): the first sync onto a book
that already holds the phone's people, a second run that sends nothing, a conflict, a wrong
password, a server that takes only Digest (with a password in Japanese), a connection dropped
before and after the server applies a write, and 1,000 people with one changed. Every card on
the server is read back with vobject, fact by fact.
Usage: check_carddav.py TSUNAGI_CLI"""
import base64
import hashlib
import os
import re
import socket
import subprocess
import sys
import tempfile
import threading

import vobject

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import shutil  # noqa: E402

from carddav_server import PASSWORD, USER, Radicale, Xandikos  # noqa: E402

CLI = sys.argv[1]
failures = []
current = ""  # the server being tried


def check(condition, what):
    what = "[%s] %s" % (current, what)
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def phone_file(folder, name, people):
    """The phone's own backup: vCard 2.1 in Shift_JIS with CR LF, as the phone writes it."""
    text = ""
    for number, (family, given, reading, lines) in enumerate(people, 1):
        text += "BEGIN:VCARD\nVERSION:2.1\nN;CHARSET=SHIFT_JIS:%s;%s\n" % (family, given)
        if reading:
            text += "SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:%s\n" % reading
        text += "".join(line + "\n" for line in lines)
        text += "X-GNO:0\nX-JPG-MDNO:%d\nEND:VCARD\n" % number
    path = os.path.join(folder, name)
    with open(path, "wb") as f:
        f.write(text.replace("\n", "\r\n").encode("cp932"))
    return path


def run(server, url, files, state, password_file=None):
    result = subprocess.run(
        [CLI, "--carddav", url, "--user", USER, "--password-file",
         password_file or server.password_file, "--sync-state", state] + files,
        capture_output=True, text=True, timeout=300)
    return result.returncode, result.stdout, result.stderr


def parsed(text):
    return vobject.readOne(text)


def values(card, name):
    return [line.value for line in card.contents.get(name.lower(), [])]


def digits(number):
    return "".join(c for c in number if c.isdigit())


IPHONE = """BEGIN:VCARD
VERSION:3.0
PRODID:-//Apple Inc.//iPhone OS 17.0//EN
N:山田;太郎;;;
FN:山田 太郎
item1.TEL;type=CELL;type=VOICE;type=pref:090-1111-2222
item1.X-ABLabel:_$!<Mobile>!$_
item2.EMAIL;type=INTERNET;type=HOME:taro@icloud.com
item2.X-ABLabel:_$!<Home>!$_
PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgABAQAAAQABAAD/2wBDAAgGBgcGBQgHBwcJCQgKDBQNDAsLDBkSEw8UHRofHh0aHBwgJC4nICIsIxwcKDcpLDAxNDQ0Hyc5PTgyPC4zNDL/
X-SOCIALPROFILE;type=twitter:x-apple:yamada_taro
UID:8D4F1C2A-3B5E-4F6A-9C7D-1E2F3A4B5C6D
END:VCARD
"""

ANDROID = """BEGIN:VCARD
VERSION:3.0
N:佐藤;花子;;;
FN:佐藤花子
TEL;TYPE=HOME:03-3333-4444
UID:2c5e81f0a1b34d2e
END:VCARD
"""

GROUP = """BEGIN:VCARD
VERSION:3.0
N:家族
FN:家族
X-ADDRESSBOOKSERVER-KIND:group
X-ADDRESSBOOKSERVER-MEMBER:urn:uuid:8D4F1C2A-3B5E-4F6A-9C7D-1E2F3A4B5C6D
UID:group-family-1
END:VCARD
"""

YAMADA = ("山田", "太郎", "ﾔﾏﾀﾞ;ﾀﾛｳ", ["TEL;CELL:09011112222", "EMAIL;CELL:taro@docomo.ne.jp"])
SATO = ("佐藤", "花子", "", ["TEL;VOICE;HOME:0333334444", "TEL;CELL:08055556666"])
SUZUKI = ("鈴木", "一郎", "", ["TEL;CELL:07077778888"])


def first_sync_and_conflict(server, folder):
    server.make_book("contacts")
    server.put("contacts", "8D4F1C2A-3B5E-4F6A-9C7D-1E2F3A4B5C6D.vcf", IPHONE)
    server.put("contacts", "3b1f9a0c7d.vcf", ANDROID)  # an Android card under an opaque name
    group_etag = server.put("contacts", "group-family-1.vcf", GROUP)
    state = os.path.join(folder, "state")
    phone = phone_file(folder, "phone.vcf", [YAMADA, SATO, SUZUKI])

    # The first sync, from the server's root: the book is found, each person once.
    code, out, err = run(server, server.sync_url("contacts"), [phone], state)
    check(code == 0, "first sync exits 0: %s %s" % (out, err))
    check("新規 1 件、変更 2 件、競合 0 件" in out, "first sync plan: " + out)
    cards = server.cards("contacts")
    check(len(cards) == 4, "four cards after the first sync: %s" % sorted(cards))
    yamada = parsed(cards["8D4F1C2A-3B5E-4F6A-9C7D-1E2F3A4B5C6D.vcf"][1])
    check(sorted(values(yamada, "email")) == ["taro@docomo.ne.jp", "taro@icloud.com"],
          "山田 holds both mails: %s" % values(yamada, "email"))
    check([digits(n) for n in values(yamada, "tel")] == ["09011112222"],
          "山田's number once: %s" % values(yamada, "tel"))
    check("photo" in yamada.contents and "x-socialprofile" in yamada.contents,
          "山田 keeps the photo and the social profile")
    check(values(yamada, "uid") == ["8D4F1C2A-3B5E-4F6A-9C7D-1E2F3A4B5C6D"], "山田 keeps his UID")
    labels = values(yamada, "x-ablabel")
    check("_$!<Mobile>!$_" in labels and "_$!<Home>!$_" in labels, "labels kept: %s" % labels)
    check(values(yamada, "x-phonetic-last-name") == ["ヤマダ"], "山田's reading arrives")
    sato = parsed(cards["3b1f9a0c7d.vcf"][1])
    check(sorted(digits(n) for n in values(sato, "tel")) == ["0333334444", "08055556666"],
          "佐藤 under her opaque name holds both numbers: %s" % values(sato, "tel"))
    check(values(sato, "uid") == ["2c5e81f0a1b34d2e"], "佐藤 keeps her UID")
    check(cards["group-family-1.vcf"][0] == group_etag, "the group card is untouched")
    new = [name for name in cards if name not in (
        "8D4F1C2A-3B5E-4F6A-9C7D-1E2F3A4B5C6D.vcf", "3b1f9a0c7d.vcf", "group-family-1.vcf")]
    suzuki = parsed(cards[new[0]][1])
    check(values(suzuki, "fn") == ["鈴木一郎"], "鈴木 is new")
    check(values(suzuki, "uid")[0].startswith("urn:uuid:") and
          new[0] == values(suzuki, "uid")[0][9:] + ".vcf", "a new card at <uuid>.vcf: " + new[0])

    # A second run sends nothing.
    code, out, err = run(server, server.sync_url("contacts"), [phone], state)
    check(code == 0 and "書き込み 0 件" in out, "second run writes nothing: " + out + err)
    check({n: e for n, (e, _) in server.cards("contacts").items()} ==
          {n: e for n, (e, _) in cards.items()}, "second run: every ETag as it was")

    # Another client edits 山田 and deletes 佐藤 while we change both (and 鈴木).
    edited = cards["8D4F1C2A-3B5E-4F6A-9C7D-1E2F3A4B5C6D.vcf"][1].replace(
        "END:VCARD", "NOTE:changed on the phone\r\nEND:VCARD")
    server.put("contacts", "8D4F1C2A-3B5E-4F6A-9C7D-1E2F3A4B5C6D.vcf", edited)
    server.delete("contacts", "3b1f9a0c7d.vcf")
    changed = phone_file(folder, "changed.vcf", [
        YAMADA[:3] + (["TEL;CELL:09099998888"] + YAMADA[3][1:],),
        SATO[:3] + (SATO[3] + ["EMAIL;INTERNET:hanako@example.jp"],),
        SUZUKI[:3] + (SUZUKI[3] + ["EMAIL;INTERNET:ichiro@example.jp"],)])
    code, out, err = run(server, server.sync_url("contacts"), [changed], state)
    check(code == 1, "a conflict exits 1: %d" % code)
    check("競合: 山田太郎" in out and "競合: 佐藤花子" in out, "both conflicts named: " + out)
    check("変更: 鈴木一郎" in out, "the rest goes on: " + out)
    after = server.cards("contacts")
    check("3b1f9a0c7d.vcf" not in after and len(after) == 3, "佐藤 not made again: %s" % after)
    yamada = parsed(after["8D4F1C2A-3B5E-4F6A-9C7D-1E2F3A4B5C6D.vcf"][1])
    check(values(yamada, "note") == ["changed on the phone"] and
          [digits(n) for n in values(yamada, "tel")] == ["09011112222"],
          "the other client's 山田 stands")
    suzuki = parsed(after[new[0]][1])
    check(values(suzuki, "email") == ["ichiro@example.jp"], "鈴木's mail sent")


def deleted_here(server, folder):
    """A person left out of the next run is named, and the server's card stays (the command
    line never deletes)."""
    server.make_book("removed")
    state = os.path.join(folder, "removed-state")
    both = phone_file(folder, "both.vcf", [YAMADA, SUZUKI])
    code, out, err = run(server, server.book_url("removed"), [both], state)
    check(code == 0 and len(server.cards("removed")) == 2, "two sent: " + out + err)
    one = phone_file(folder, "one.vcf", [YAMADA])
    code, out, err = run(server, server.book_url("removed"), [one], state)
    check(code == 0 and "ここで削除済み（サーバーには残します）: 鈴木一郎" in out,
          "the person deleted here is named: " + out + err)
    check("書き込み 0 件" in out and len(server.cards("removed")) == 2,
          "and the server's card stays: " + out)


def wrong_password(server, folder):
    server.make_book("locked")
    wrong = os.path.join(folder, "wrong")
    with open(wrong, "w", encoding="utf-8") as f:
        f.write("not-the-password\n")
    phone = phone_file(folder, "one.vcf", [SUZUKI])
    code, out, err = run(server, server.book_url("locked"), [phone],
                         os.path.join(folder, "locked-state"), wrong)
    check(code == 1 and "パスワード" in err, "a wrong password stops: %d %s" % (code, err))
    check(server.cards("locked") == {}, "a wrong password changes nothing")


class DroppingProxy(threading.Thread):
    """Passes connections to the server, and drops the one that carries the `nth` PUT: before
    the server sees it, or after it answered (the answer never arrives)."""

    def __init__(self, port, nth, after):
        super().__init__(daemon=True)
        self.target, self.nth, self.after, self.puts = port, nth, after, 0
        self.doomed = None
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(8)
        self.port = self.listener.getsockname()[1]

    def run(self):
        while True:
            try:
                client, _ = self.listener.accept()
            except OSError:
                return
            threading.Thread(target=self.serve, args=(client,), daemon=True).start()

    def serve(self, client):
        upstream = socket.create_connection(("127.0.0.1", self.target))
        client.settimeout(30)
        upstream.settimeout(30)
        try:
            while True:
                request = self.read_request(client)
                if not request:
                    break
                line = request.split(b"\r\n", 1)[0]
                if request.startswith(b"PUT "):
                    self.puts += 1
                    if self.puts == self.nth:
                        self.doomed = line
                    # Before: this write never reaches the server, nor does Qt's retry of it.
                    if line == self.doomed and not self.after:
                        break
                upstream.sendall(request)
                answer = self.read_answer(upstream)
                if request.startswith(b"PUT ") and self.puts == self.nth and self.after:
                    break
                client.sendall(answer)
        except OSError:
            pass
        client.close()
        upstream.close()

    @staticmethod
    def read_message(sock, buffer=b""):
        while b"\r\n\r\n" not in buffer:
            data = sock.recv(65536)
            if not data:
                return b""
            buffer += data
        head, _, rest = buffer.partition(b"\r\n\r\n")
        length = 0
        for line in head.split(b"\r\n")[1:]:
            name, _, value = line.partition(b":")
            if name.strip().lower() == b"content-length":
                length = int(value.strip())
        while len(rest) < length:
            data = sock.recv(65536)
            if not data:
                break
            rest += data
        return head + b"\r\n\r\n" + rest

    def read_request(self, sock):
        return self.read_message(sock)

    def read_answer(self, sock):
        return self.read_message(sock)


class PassingProxy(DroppingProxy):
    """Passes every request to the server and its answer back, as `forward` has it: the base
    of the proxies that do something on the way."""

    def __init__(self, port):
        super().__init__(port, 0, False)

    def forward(self, request, client, upstream):
        upstream.sendall(request)
        client.sendall(self.read_answer(upstream))

    def serve(self, client):
        upstream = socket.create_connection(("127.0.0.1", self.target))
        try:
            while True:
                request = self.read_request(client)
                if not request:
                    break
                self.forward(request, client, upstream)
        except OSError:
            pass
        client.close()
        upstream.close()


class RacingProxy(PassingProxy):
    """Lets another client's write to the same card land just before our first conditional
    update reaches the server: only If-Match can tell."""

    def __init__(self, server):
        super().__init__(server.port)
        self.server, self.raced = server, False

    def forward(self, request, client, upstream):
        if request.startswith(b"PUT ") and b"If-Match" in request and not self.raced:
            self.raced = True
            path = request.split(b" ")[1].decode()
            _, _, text = self.server.request("GET", path)
            self.server.request("PUT", path, text.decode().replace(
                "END:VCARD", "NOTE:written first\r\nEND:VCARD").encode(),
                {"Content-Type": "text/vcard; charset=utf-8"})
        super().forward(request, client, upstream)


class DigestProxy(PassingProxy):
    """Admits only Digest (RFC 7616, MD5 with qop=auth, the user and password in UTF-8 as its
    charset=UTF-8 says; a nonce stale after two requests) though it names Basic too, and
    passes what it admits to the server with the server's own Basic."""

    def __init__(self, server, password):
        super().__init__(server.port)
        self.password, self.nonces, self.admitted, self.stale = password, {}, 0, False
        self.stales = 0
        self.upstream_auth = b"Basic " + base64.b64encode(
            ("%s:%s" % (USER, PASSWORD)).encode("utf-8"))

    @staticmethod
    def md5(text):
        return hashlib.md5(text.encode("utf-8")).hexdigest()

    def admits(self, request):
        head = request.split(b"\r\n\r\n", 1)[0].decode("utf-8", "replace").split("\r\n")
        method = head[0].split(" ")[0]
        for line in head[1:]:
            name, _, value = line.partition(":")
            if name.strip().lower() != "authorization":
                continue
            scheme, _, fields = value.strip().partition(" ")
            if scheme.lower() != "digest":
                return False
            said = dict((k.strip(), v.strip().strip('"')) for k, _, v in
                        (f.partition("=") for f in re.split(r',(?=(?:[^"]*"[^"]*")*[^"]*$)',
                                                            fields)))
            if said.get("nonce") not in self.nonces or said.get("username") != USER:
                return False
            # A nonce grows stale after a few requests, as servers let it: a new one is given.
            self.nonces[said["nonce"]] += 1
            if self.nonces[said["nonce"]] > 2:
                self.stale = True
                self.stales += 1
                return False
            ha1 = self.md5("%s:%s:%s" % (USER, "tsunagi", self.password))
            ha2 = self.md5("%s:%s" % (method, said.get("uri", "")))
            expected = self.md5(":".join([ha1, said["nonce"], said.get("nc", ""),
                                          said.get("cnonce", ""), said.get("qop", ""), ha2]))
            return said.get("qop") == "auth" and said.get("response") == expected
        return False

    def forward(self, request, client, upstream):
        self.stale = False
        if not self.admits(request):
            nonce = os.urandom(12).hex()
            self.nonces[nonce] = 0
            client.sendall(
                b"HTTP/1.1 401 Unauthorized\r\nContent-Length: 0\r\n"
                b'WWW-Authenticate: Basic realm="tsunagi"\r\n'
                b'WWW-Authenticate: Digest realm="tsunagi", qop="auth,auth-int", '
                b'algorithm=MD5, charset=UTF-8, nonce="' + nonce.encode() + b'"' +
                (b", stale=true" if self.stale else b"") + b"\r\n\r\n")
            return
        self.admitted += 1
        head, _, body = request.partition(b"\r\n\r\n")
        lines = [line for line in head.split(b"\r\n")
                 if not line.lower().startswith(b"authorization:")]
        lines.append(b"Authorization: " + self.upstream_auth)
        super().forward(b"\r\n".join(lines) + b"\r\n\r\n" + body, client, upstream)


def digest(server, folder):
    """A server that takes only Digest: the sync goes through, with the password in UTF-8; a
    wrong password stops as with Basic."""
    server.make_book("digest")
    state = os.path.join(folder, "digest-state")
    proxy = DigestProxy(server, PASSWORD)
    proxy.start()
    url = "http://127.0.0.1:%d%s" % (proxy.port, server.book_path("digest"))
    phone = phone_file(folder, "digest.vcf", [SUZUKI])
    code, out, err = run(server, url, [phone], state)
    check(code == 0 and proxy.admitted > 0 and proxy.stales > 0,
          "digest: the first sync, a stale nonce renewed: %d %s %s" % (code, out, err))
    code, out, err = run(server, url, [phone], state)
    check(code == 0 and "書き込み 0 件" in out, "digest: then nothing to send: " + out + err)
    check(len(server.cards("digest")) == 1, "digest: the person on the server once")
    wrong = os.path.join(folder, "digest-wrong")
    with open(wrong, "w", encoding="utf-8") as f:
        f.write("not-the-password\n")
    code, out, err = run(server, url, [phone], os.path.join(folder, "digest-wrong-state"), wrong)
    check(code == 1 and "パスワード" in err, "digest: a wrong password stops: %d %s" % (code, err))
    proxy.listener.close()


def race(server, folder):
    server.make_book("race")
    state = os.path.join(folder, "race-state")
    code, out, err = run(server, server.book_url("race"), [phone_file(folder, "r1.vcf", [SUZUKI])],
                         state)
    check(code == 0, "race: the first sync: " + out + err)
    proxy = RacingProxy(server)
    proxy.start()
    changed = phone_file(folder, "r2.vcf", [SUZUKI[:3] + (SUZUKI[3] + ["EMAIL;INTERNET:i@x.jp"],)])
    code, out, err = run(server, "http://127.0.0.1:%d%s" % (proxy.port, server.book_path("race")),
                         [changed], state)
    proxy.listener.close()
    check(proxy.raced and code == 1 and "競合: 鈴木一郎" in out, "race: If-Match caught it: " + out)
    (_, text), = server.cards("race").values()
    card = parsed(text)
    check(values(card, "note") == ["written first"] and "email" not in card.contents,
          "race: the other client's write stands")


def dropped_connection(server, folder):
    people = [("渡辺", "%d" % n, "", ["TEL;CELL:0801234%04d" % n]) for n in range(5)]
    phone = phone_file(folder, "five.vcf", people)
    for after in (False, True):
        book = "dropped-%s" % ("after" if after else "before")
        server.make_book(book)
        state = os.path.join(folder, book + "-state")
        proxy = DroppingProxy(server.port, 3, after)
        proxy.start()
        url = "http://127.0.0.1:%d%s" % (proxy.port, server.book_path(book))
        code, out, err = run(server, url, [phone], state)
        proxy.listener.close()
        check(code == 1, "a dropped write is named (%s): %d %s" % (book, code, out))
        code, out, err = run(server, server.book_url(book), [phone], state)
        check(code == 0, "the next run finishes (%s): %s %s" % (book, out, err))
        cards = server.cards(book)
        names = sorted(values(parsed(text), "fn")[0] for _, text in cards.values())
        check(names == sorted("渡辺%d" % n for n in range(5)),
              "each person once after a dropped write (%s): %s" % (book, names))
        code, out, err = run(server, server.book_url(book), [phone], state)
        check(code == 0 and "書き込み 0 件" in out, "then nothing to send (%s): %s" % (book, out))


def thousand(server, folder):
    """1,000 people another phone synced before (the first sync's own time is the benchmark's):
    all tied at once, then one changed is one write, then none."""
    server.make_book("thousand")
    people = [("高橋", "%04d" % n, "", ["TEL;CELL:090%08d" % n]) for n in range(1000)]
    server.place("thousand", {
        "card-%d.vcf" % n: "BEGIN:VCARD\nVERSION:3.0\nN:高橋;%04d;;;\nFN:高橋%04d\n"
                           "TEL;TYPE=CELL:090%08d\nUID:phone-%d\nEND:VCARD\n" % (n, n, n, n)
        for n in range(1000)})
    state = os.path.join(folder, "thousand-state")
    url = server.book_url("thousand")
    code, out, err = run(server, url, [phone_file(folder, "thousand.vcf", people)], state)
    check(code == 0 and "書き込み 0 件" in out, "1,000 people tied, none sent: " + out[-200:] + err)
    people[500] = people[500][:3] + (people[500][3] + ["EMAIL;INTERNET:t500@example.jp"],)
    changed = phone_file(folder, "thousand-changed.vcf", people)
    code, out, err = run(server, url, [changed], state)
    check(code == 0 and "書き込み 1 件" in out and "変更: 高橋0500" in out,
          "one changed: one write: " + out[-300:])
    code, out, err = run(server, url, [changed], state)
    check(code == 0 and "書き込み 0 件" in out, "and then none: " + out[-200:])
    cards = server.cards("thousand")
    check(len(cards) == 1000, "1,000 cards, each once")
    changed = parsed(cards["card-500.vcf"][1])
    check(values(changed, "email") == ["t500@example.jp"] and
          values(changed, "uid") == ["phone-500"], "the one changed, at its place")


def main():
    servers = [Radicale] + ([Xandikos] if shutil.which("xandikos") else [])
    for kind in servers:
        global current
        current = kind.name
        server = kind()
        try:
            with tempfile.TemporaryDirectory() as folder:
                first_sync_and_conflict(server, folder)
                deleted_here(server, folder)
                if server.authenticates:
                    wrong_password(server, folder)
                    digest(server, folder)
                dropped_connection(server, folder)
                race(server, folder)
                if kind is Radicale:  # cards laid into its storage, which xandikos keeps in git
                    thousand(server, folder)
        finally:
            server.stop()
    if failures:
        print("%d failures" % len(failures))
        return 1
    print("carddav: every scenario holds on " + " and ".join(k.name for k in servers))
    return 0


if __name__ == "__main__":
    sys.exit(main())
