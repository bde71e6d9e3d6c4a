"""Debian's radicale as a real CardDAV server for the tests: on 127.0.0.1 at a free port, with a
temporary storage folder and a plain htpasswd user, stopped by its process id whatever happens."""
import atexit
import base64
import http.client
import os
import shutil
import signal
import socket
import subprocess
import tempfile
import time
import urllib.parse

USER, PASSWORD = "tsunagi", "secret-パス"


class Radicale:
    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="tsunagi-radicale-")
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            self.port = probe.getsockname()[1]
        users = os.path.join(self.folder, "users")
        with open(users, "w", encoding="utf-8") as f:
            f.write("%s:%s\n" % (USER, PASSWORD))
        config = os.path.join(self.folder, "config")
        with open(config, "w", encoding="utf-8") as f:
            f.write("[server]\nhosts = 127.0.0.1:%d\n"
                    "[auth]\ntype = htpasswd\nhtpasswd_filename = %s\nhtpasswd_encryption = plain\n"
                    "[storage]\nfilesystem_folder = %s\n"
                    "[rights]\ntype = owner_only\n[logging]\nlevel = warning\n"
                    % (self.port, users, os.path.join(self.folder, "collections")))
        self.log = open(os.path.join(self.folder, "log"), "wb")
        self.process = subprocess.Popen(["radicale", "--config", config],
                                        stdout=self.log, stderr=subprocess.STDOUT)
        atexit.register(self.stop)
        self._wait()
        self.password_file = os.path.join(self.folder, "password")
        with open(self.password_file, "w", encoding="utf-8") as f:
            f.write(PASSWORD + "\n")

    def _wait(self):
        for _ in range(100):
            if self.process.poll() is not None:
                break
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=0.2).close()
                return
            except OSError:
                time.sleep(0.1)
        raise RuntimeError("%s did not start" % self.name)

    def stop(self):
        if self.process.poll() is None:
            os.kill(self.process.pid, signal.SIGTERM)
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                os.kill(self.process.pid, signal.SIGKILL)
        shutil.rmtree(self.folder, ignore_errors=True)

    @property
    def root(self):
        return "http://127.0.0.1:%d/" % self.port

    # What the scenarios may ask of this server.
    name = "radicale"
    authenticates = True

    def book_path(self, name):
        return "/%s/%s/" % (USER, name)

    def book_url(self, name):
        return self.root + self.book_path(name)[1:]

    def sync_url(self, name):
        """The address the first scenario gives: the server's root, the book found from it."""
        return self.root

    def request(self, method, path, body=None, headers=None, password=PASSWORD):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=30)
        token = base64.b64encode(("%s:%s" % (USER, password)).encode()).decode()
        all_headers = {"Authorization": "Basic " + token}
        all_headers.update(headers or {})
        if isinstance(body, str):
            body = body.encode("utf-8")
        connection.request(method, path, body=body, headers=all_headers)
        answer = connection.getresponse()
        data = answer.read()
        connection.close()
        return answer.status, dict(answer.getheaders()), data

    def make_book(self, name):
        body = ('<?xml version="1.0"?><D:mkcol xmlns:D="DAV:" '
                'xmlns:C="urn:ietf:params:xml:ns:carddav"><D:set><D:prop><D:resourcetype>'
                '<D:collection/><C:addressbook/></D:resourcetype><D:displayname>%s'
                '</D:displayname></D:prop></D:set></D:mkcol>' % name)
        status, _, data = self.request("MKCOL", self.book_path(name), body,
                                       {"Content-Type": "application/xml"})
        assert status == 201, (status, data)

    def put(self, book, name, card):
        status, headers, data = self.request(
            "PUT", self.book_path(book) + name, card.replace("\r\n", "\n").replace("\n", "\r\n"),
            {"Content-Type": "text/vcard; charset=utf-8"})
        assert status in (201, 204), (status, data)
        return headers.get("ETag")

    def place(self, book, cards):
        """Cards laid straight into the server's storage, as if another client had written them
        long ago: quicker than a write each."""
        folder = os.path.join(self.folder, "collections", "collection-root", USER, book)
        for name, card in cards.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(card.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-8"))

    def delete(self, book, name):
        status, _, _ = self.request("DELETE", self.book_path(book) + name)
        assert status in (200, 204), status

    def cards(self, book):
        """Every card of the book: its name, its ETag and its text."""
        body = ('<?xml version="1.0"?><D:propfind xmlns:D="DAV:"><D:prop><D:getetag/>'
                '</D:prop></D:propfind>')
        status, _, data = self.request("PROPFIND", self.book_path(book), body,
                                       {"Depth": "1", "Content-Type": "application/xml"})
        assert status == 207, status
        import xml.etree.ElementTree as ET
        found = {}
        for response in ET.fromstring(data).iter("{DAV:}response"):
            href = urllib.parse.unquote(response.find("{DAV:}href").text)
            name = href.rstrip("/").rsplit("/", 1)[-1]
            if href.endswith("/"):
                continue
            status, headers, text = self.request("GET", href)
            found[name] = (headers.get("ETag"), text.decode("utf-8"))
        return found


class Xandikos(Radicale):
    """Debian's xandikos, where it is installed: a second server, with its own way of storing
    and rewriting cards. It has no passwords of its own (it leaves them to a proxy)."""
    name = "xandikos"
    authenticates = False

    def __init__(self):  # noqa: super's start is radicale's
        self.folder = tempfile.mkdtemp(prefix="tsunagi-xandikos-")
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            self.port = probe.getsockname()[1]
        self.log = open(os.path.join(self.folder, "log"), "wb")
        self.process = subprocess.Popen(
            ["xandikos", "-d", os.path.join(self.folder, "data"), "-l", "127.0.0.1",
             "--port", str(self.port), "--defaults"], stdout=self.log, stderr=subprocess.STDOUT)
        atexit.register(self.stop)
        self._wait()
        self.password_file = os.path.join(self.folder, "password")
        with open(self.password_file, "w", encoding="utf-8") as f:
            f.write(PASSWORD + "\n")

    def book_path(self, name):
        return "/user/contacts/%s/" % name

    def sync_url(self, name):
        return self.book_url(name)  # beside its own default book: the one asked for
