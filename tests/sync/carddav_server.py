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
        for _ in range(100):
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=0.2).close()
                break
            except OSError:
                time.sleep(0.1)
        else:
            raise RuntimeError("radicale did not start")
        self.password_file = os.path.join(self.folder, "password")
        with open(self.password_file, "w", encoding="utf-8") as f:
            f.write(PASSWORD + "\n")

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

    def book_url(self, name):
        return self.root + "%s/%s/" % (USER, name)

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
        status, _, data = self.request("MKCOL", "/%s/%s/" % (USER, name), body)
        assert status == 201, (status, data)

    def put(self, book, name, card):
        status, headers, data = self.request(
            "PUT", "/%s/%s/%s" % (USER, book, name), card.replace("\n", "\r\n"),
            {"Content-Type": "text/vcard; charset=utf-8"})
        assert status in (201, 204), (status, data)
        return headers.get("ETag")

    def place(self, book, cards):
        """Cards laid straight into the server's storage, as if another client had written them
        long ago: quicker than a write each."""
        folder = os.path.join(self.folder, "collections", "collection-root", USER, book)
        for name, card in cards.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(card.replace("\n", "\r\n").encode("utf-8"))

    def delete(self, book, name):
        status, _, _ = self.request("DELETE", "/%s/%s/%s" % (USER, book, name))
        assert status in (200, 204), status

    def cards(self, book):
        """Every card of the book: its name, its ETag and its text."""
        body = ('<?xml version="1.0"?><D:propfind xmlns:D="DAV:"><D:prop><D:getetag/>'
                '</D:prop></D:propfind>')
        status, _, data = self.request("PROPFIND", "/%s/%s/" % (USER, book), body, {"Depth": "1"})
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
