#!/usr/bin/env python3
"""A local stand-in for the debrid service's REST API 1.0, over HTTPS on 127.0.0.1.

Commands:
  standin.py start --dir DIR   make a CA and a server certificate, start the
                               server in the background, wait for its port
  standin.py serve --dir DIR   run the server in the foreground
  standin.py stop  --dir DIR   stop the server started by "start"

DIR receives ca.pem (trust it with --cacert), port, pid, server.log and
requests.jsonl, one JSON object per request received.

Every API token is an account of its own, made on first use, so tests that
run at once never see each other's changes. Tokens starting with "bad" are
refused with 401; those starting with "burst" get 429 after two requests;
those starting with "many" hold 5001 transfers (more than one page).
"""
import argparse
import gzip
import json
import os
import signal
import ssl
import subprocess
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

API = "/rest/1.0"
LIFETIME_S = 600  # the server stops by itself after this, even if nobody stops it
FORM = "application/x-www-form-urlencoded"
HASH = "0123456789abcdef0123456789abcdef01234567"


def bencode(value):
    if isinstance(value, int):
        return b"i%de" % value
    if isinstance(value, str):
        value = value.encode()
    if isinstance(value, bytes):
        return b"%d:%s" % (len(value), value)
    if isinstance(value, list):
        return b"l" + b"".join(bencode(v) for v in value) + b"e"
    return b"d" + b"".join(bencode(k) + bencode(value[k]) for k in sorted(value)) + b"e"


# A torrent file without NUL bytes, so it survives being handled as text.
TORRENT_NAME = "Upload.Movie.2021.1080p.mkv"
TORRENT = bencode({"announce": "udp://tracker.example:80", "info": {
    "name": TORRENT_NAME, "length": 734003200, "piece length": 262144, "pieces": b"ABCDEFGHIJKLMNOPQRST"}})


def error_doc(name, code):
    return {"error": name, "error_code": code}


class Account:
    """One account: its transfers and downloads, as the service would hold them."""

    def __init__(self, token, base):
        self.token = token
        self.base = base
        self.requests = 0
        self.next_id = 1
        self.torrents = {}
        if token.startswith("many"):
            for i in range(5001):
                self.torrents["M%05d" % i] = self._torrent("M%05d" % i, "Bulk.%05d" % i, [("/Bulk.mkv", 1000)], True)
        else:
            self.torrents["SHOW1"] = self._torrent("SHOW1", "Show.S01.1080p", [
                ("/Show.S01E01.1080p.mkv", 1503238553), ("/Show.S01E02.1080p.mkv", 1449551462),
                ("/Show.S01E03.1080p.mkv", 1610612736), ("/Show.S01.nfo", 1024)], True)
            self.torrents["MOVIE2"] = self._torrent("MOVIE2", "Movie.2020.2160p", [
                ("/Movie.2020.2160p.mkv", 21474836480)], True)
        self.downloads = [
            {"id": "DL1", "filename": "Movie.2020.2160p.mkv", "mimeType": "video/x-matroska",
             "filesize": 21474836480, "link": base + "/hoster/MOVIE2/1", "host": "127.0.0.1", "chunks": 16,
             "download": base + "/dl/DL1/Movie.2020.2160p.mkv", "streamable": 1,
             "generated": "2024-01-01T00:00:00.000Z"},
            {"id": "DL2", "filename": "Show.S01E01.1080p.mkv", "mimeType": "video/x-matroska",
             "filesize": 1503238553, "link": base + "/hoster/SHOW1/1", "host": "127.0.0.1", "chunks": 16,
             "download": base + "/dl/DL2/Show.S01E01.1080p.mkv", "streamable": 1,
             "generated": "2024-01-01T00:00:00.000Z"},
        ]

    def _torrent(self, tid, name, files, selected):
        t = {"id": tid, "filename": name, "original_filename": name, "hash": HASH,
             "bytes": sum(b for _, b in files), "original_bytes": sum(b for _, b in files),
             "host": "127.0.0.1", "split": 2000, "progress": 0, "status": "waiting_files_selection",
             "added": "2024-01-01T00:00:00.000Z",
             "files": [{"id": i + 1, "path": p, "bytes": b, "selected": 0} for i, (p, b) in enumerate(files)],
             "links": []}
        if selected:
            self.select(t, [f["id"] for f in t["files"] if f["path"].endswith(".mkv")])
        return t

    def select(self, t, ids):
        for f in t["files"]:
            f["selected"] = 1 if f["id"] in ids else 0
        if "Slow" in t["filename"]:
            t["status"], t["progress"] = "downloading", 10
            return
        t["status"], t["progress"], t["ended"] = "downloaded", 100, "2024-01-01T00:10:00.000Z"
        t["links"] = [self.base + "/hoster/%s/%d" % (t["id"], f["id"]) for f in t["files"] if f["selected"]]

    def add(self, name, files):
        tid = "N%04d" % self.next_id
        self.next_id += 1
        self.torrents[tid] = self._torrent(tid, name, files, False)
        return tid

    def unrestrict(self, link):
        for d in self.downloads:
            if link in (d["download"], d["link"]):
                return self._unrestricted(link, d["filename"], d["filesize"], d["download"])
        for t in self.torrents.values():
            for f in t["files"]:
                if link == self.base + "/hoster/%s/%d" % (t["id"], f["id"]) and link in t["links"]:
                    name = f["path"].rsplit("/", 1)[-1]
                    return self._unrestricted(link, name, f["bytes"], self.base + "/dl/%s/%d/%s" % (t["id"], f["id"], name))
        return None

    @staticmethod
    def _unrestricted(link, name, size, download):
        return {"id": "U" + name[:8], "filename": name, "mimeType": "video/x-matroska", "filesize": size,
                "link": link, "host": "127.0.0.1", "chunks": 16, "crc": 1, "download": download, "streamable": 1}


def files_for(name):
    """What a new transfer holds: a season pack named like Show.S01.1080p holds
    Show.S01E01.1080p.mkv to E03 and a note; anything else one film, a sample
    and a note (the film being the largest file)."""
    head, season, tail = name.partition(".S01")
    if season:
        return [("/%s.S01E%02d%s.mkv" % (head, e, tail), 1400000000 + e) for e in (1, 2, 3)] + \
            [("/%s.nfo" % name, 900)]
    return [("/%s.mkv" % name, 2147483648), ("/Sample.mkv", 50000000), ("/%s.nfo" % name, 900)]


class Service:
    def __init__(self, directory, base):
        self.dir = directory
        self.base = base
        self.accounts = {}
        self.lock = threading.Lock()
        self.log = open(os.path.join(directory, "requests.jsonl"), "a", encoding="utf-8")

    def record(self, entry):
        with self.lock:
            self.log.write(json.dumps(entry) + "\n")
            self.log.flush()

    def account(self, token):
        if token not in self.accounts:
            self.accounts[token] = Account(token, self.base)
        return self.accounts[token]

    def api(self, method, path, query, body, content_type):
        """Answers one API request: (status, JSON value or None)."""
        token = (query.get("auth_token") or [""])[0]
        if not token or token.startswith("bad"):
            return 401, error_doc("bad_token", 8)
        with self.lock:
            acc = self.account(token)
            acc.requests += 1
            if token.startswith("burst") and acc.requests > 2:
                return 429, error_doc("too_many_requests", 34)
            return self.route(acc, method, path, query, body, content_type)

    def route(self, acc, method, path, query, body, content_type):
        form = urllib.parse.parse_qs(body.decode("latin-1")) if content_type == FORM else {}

        def param(name):
            return (query.get(name) or form.get(name) or [None])[0]

        parts = path.split("/")
        if path == "/user" and method == "GET":
            return 200, {"id": 4242, "username": "e2e-user", "email": "e2e@example.invalid", "points": 100,
                         "locale": "en", "avatar": "", "type": "premium", "premium": 2592000,
                         "expiration": "2030-01-01T00:00:00.000Z"}
        if path in ("/torrents", "/downloads") and method == "GET":
            items = list(acc.torrents.values()) if path == "/torrents" else acc.downloads
            if path == "/torrents":
                items = [{k: t[k] for k in ("id", "filename", "hash", "bytes", "host", "split", "progress",
                                            "status", "added", "links")} for t in items]
            limit = int(param("limit") or 100)
            page = int(param("page") or 1)
            return 200, items[(page - 1) * limit:page * limit]
        if len(parts) == 4 and parts[1] == "torrents" and parts[2] == "info" and method == "GET":
            t = acc.torrents.get(parts[3])
            return (200, t) if t else (404, error_doc("unknown_ressource", 7))
        if path == "/torrents/addMagnet" and method == "POST":
            magnet = param("magnet") or ""
            if not magnet.startswith("magnet:?") or "xt=urn:btih:" not in magnet:
                return 400, error_doc("parameter_missing", 1)
            name = (urllib.parse.parse_qs(magnet[8:]).get("dn") or ["Unnamed"])[0]
            tid = acc.add(name, files_for(name))
            return 201, {"id": tid, "uri": self.base + API + "/torrents/info/" + tid}
        if path == "/torrents/addTorrent" and method in ("POST", "PUT"):
            if not body.startswith(b"d") or b"4:info" not in body:
                return 400, error_doc("upload_error", 29)
            tid = acc.add(TORRENT_NAME.rsplit(".", 1)[0], [("/" + TORRENT_NAME, 734003200)])
            return 201, {"id": tid, "uri": self.base + API + "/torrents/info/" + tid}
        if len(parts) == 4 and parts[1] == "torrents" and parts[2] == "selectFiles" and method == "POST":
            t = acc.torrents.get(parts[3])
            if not t:
                return 404, error_doc("unknown_ressource", 7)
            if "files" not in form:  # the ids travel in the form field "files"
                return 400, error_doc("parameter_missing", 1)
            listed = form["files"][0]
            known = {f["id"] for f in t["files"]}
            try:
                ids = known if listed == "all" else {int(x) for x in listed.split(",")}
            except ValueError:
                return 400, error_doc("parameter_missing", 1)
            if not ids or not ids <= known:
                return 400, error_doc("bad_parameter", 2)
            acc.select(t, ids)
            return 204, None
        if len(parts) == 4 and parts[1] == "torrents" and parts[2] == "delete" and method in ("GET", "DELETE"):
            if acc.torrents.pop(parts[3], None) is None:
                return 404, error_doc("unknown_ressource", 7)
            return 204, None
        if path == "/unrestrict/link" and method == "POST":
            link = param("link")
            if not link:
                return 400, error_doc("parameter_missing", 1)
            answer = acc.unrestrict(link)
            return (200, answer) if answer else (503, error_doc("file_unavailable", 24))
        return 404, error_doc("unknown_method", 3)


def link_answer(path, base):
    """Answers the links a user may add (not the API): (status, headers, body)."""
    parts = path.split("/")  # /links/<tag>/<kind>[/<n>]
    kind = parts[3] if len(parts) > 3 else ""
    if kind == "magnet-redirect":
        return 302, {"Location": "magnet:?xt=urn:btih:%s&dn=Redirected.Movie.2019" % HASH}, b""
    if kind == "torrent":
        return 200, {"Content-Type": "application/x-bittorrent"}, TORRENT
    if kind == "hop" and len(parts) > 4 and parts[4].isdigit():
        n = int(parts[4])
        target = "/".join(parts[:3]) + ("/hop/%d" % (n - 1) if n > 1 else "/torrent")
        return 302, {"Location": target}, b""  # relative: the client resolves it
    if kind == "page":
        return 200, {"Content-Type": "text/html"}, b"<html><body>not a torrent</body></html>"
    return 404, {"Content-Type": "text/plain"}, b"no such link"


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "standin/1.0"

    def log_message(self, fmt, *args):
        pass

    def handle_one_request(self):
        try:
            super().handle_one_request()
        except (ssl.SSLError, ConnectionError, OSError):
            self.close_connection = True  # a refused handshake or a client gone away

    def do_GET(self):
        self.answer("GET")

    def do_POST(self):
        self.answer("POST")

    def do_PUT(self):
        self.answer("PUT")

    def do_DELETE(self):
        self.answer("DELETE")

    def answer(self, method):
        service = self.server.service
        url = urllib.parse.urlsplit(self.path)
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length else b""
        query = urllib.parse.parse_qs(url.query, keep_blank_values=True)
        content_type = self.headers.get("Content-Type") or ""
        entry = {"method": method, "path": url.path, "query": url.query,
                 "token": (query.get("auth_token") or [""])[0], "content_type": content_type,
                 "body": body.decode("latin-1"), "user_agent": self.headers.get("User-Agent") or "",
                 "accept_encoding": self.headers.get("Accept-Encoding") or ""}
        service.record(entry)
        if url.path.startswith(API + "/"):
            status, doc = service.api(method, url.path[len(API):], query, body, content_type)
            headers = {"Content-Type": "application/json"}
            data = b"" if doc is None else json.dumps(doc).encode()
        elif url.path.startswith("/links/"):
            status, headers, data = link_answer(url.path, service.base)
        else:
            status, headers, data = 404, {"Content-Type": "text/plain"}, b"not found"
        if data and "gzip" in entry["accept_encoding"]:
            data = gzip.compress(data)
            headers["Content-Encoding"] = "gzip"
        self.send_response(status)
        for k, v in headers.items():
            self.send_header(k, v)
        if status != 204:
            self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        if status != 204:
            self.wfile.write(data)


def make_certificates(directory):
    """A private CA and a server certificate for 127.0.0.1 signed by it."""
    def run(*args):
        subprocess.run(["openssl", *args], cwd=directory, check=True, capture_output=True)

    ec = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
    run("req", "-x509", *ec, "-keyout", "ca.key", "-out", "ca.pem", "-days", "2", "-subj", "/CN=vorn e2e CA",
        "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    run("req", *ec, "-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=127.0.0.1")
    with open(os.path.join(directory, "server.ext"), "w") as f:
        f.write("subjectAltName=IP:127.0.0.1\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n")
    run("x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
        "-out", "server.pem", "-days", "2", "-extfile", "server.ext")


def serve(directory, lifetime):
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    port = server.server_address[1]
    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    ctx.load_cert_chain(os.path.join(directory, "server.pem"), os.path.join(directory, "server.key"))
    # The handshake runs in the request's own thread, so a client that never
    # finishes it cannot hold up the others.
    server.socket = ctx.wrap_socket(server.socket, server_side=True, do_handshake_on_connect=False)
    server.service = Service(directory, "https://127.0.0.1:%d" % port)

    done = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: done.set())
    signal.signal(signal.SIGINT, lambda *_: done.set())
    worker = threading.Thread(target=server.serve_forever, daemon=True)
    worker.start()
    with open(os.path.join(directory, "pid"), "w") as f:
        f.write(str(os.getpid()))
    tmp = os.path.join(directory, "port.tmp")
    with open(tmp, "w") as f:
        f.write(str(port))
    os.replace(tmp, os.path.join(directory, "port"))
    done.wait(lifetime)
    server.shutdown()
    server.server_close()
    for name in ("port", "pid"):
        try:
            os.unlink(os.path.join(directory, name))
        except FileNotFoundError:
            pass


def start(directory, lifetime):
    os.makedirs(directory, exist_ok=True)
    stop(directory)
    for name in ("port", "pid", "requests.jsonl"):
        try:
            os.unlink(os.path.join(directory, name))
        except FileNotFoundError:
            pass
    make_certificates(directory)
    log = open(os.path.join(directory, "server.log"), "w")
    proc = subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve", "--dir", directory,
                             "--lifetime", str(lifetime)], stdout=log, stderr=log, stdin=subprocess.DEVNULL,
                            start_new_session=True)
    deadline = time.time() + 30
    while time.time() < deadline:
        if os.path.exists(os.path.join(directory, "port")):
            print("stand-in listening on 127.0.0.1:%s" % open(os.path.join(directory, "port")).read())
            return 0
        if proc.poll() is not None:
            break
        time.sleep(0.05)
    print("stand-in did not start; see %s" % os.path.join(directory, "server.log"), file=sys.stderr)
    return 1


def stop(directory):
    try:
        pid = int(open(os.path.join(directory, "pid")).read())
    except (FileNotFoundError, ValueError):
        return 0
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        return 0
    deadline = time.time() + 10
    while time.time() < deadline and os.path.exists(os.path.join(directory, "pid")):
        time.sleep(0.05)
    return 0


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("command", choices=("start", "serve", "stop"))
    ap.add_argument("--dir", required=True)
    ap.add_argument("--lifetime", type=float, default=LIFETIME_S)
    a = ap.parse_args()
    directory = os.path.abspath(a.dir)
    if a.command == "start":
        return start(directory, a.lifetime)
    if a.command == "stop":
        return stop(directory)
    serve(directory, a.lifetime)
    return 0


if __name__ == "__main__":
    sys.exit(main())
