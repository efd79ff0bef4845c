#!/usr/bin/env python3
"""End-to-end cases: the vorn tool (and the example host) against the HTTPS
stand-in. Run one group with: cases.py <ClassName>.

Environment: VORN_BIN, VORN_PLUGIN, HOST_BIN, E2E_DIR (the stand-in's folder).
Each case uses tokens of its own, so it sees only its own account and its own
requests, whatever runs beside it.
"""
import json
import os
import subprocess
import tempfile
import unittest
import urllib.parse
import uuid

VORN = os.environ["VORN_BIN"]
PLUGIN = os.environ["VORN_PLUGIN"]
HOST_BIN = os.environ.get("HOST_BIN", "")
DIR = os.environ["E2E_DIR"]
CA = os.path.join(DIR, "ca.pem")
PORT = open(os.path.join(DIR, "port")).read().strip()
HOST = "127.0.0.1:" + PORT
BASE = "https://" + HOST
API = "/rest/1.0"
FORM = "application/x-www-form-urlencoded"
HASH = "0123456789abcdef0123456789abcdef01234567"
SANITIZER_MARKS = ("AddressSanitizer", "LeakSanitizer", "UndefinedBehaviorSanitizer", "runtime error:")


def token(prefix="tok"):
    return "%s-%s" % (prefix, uuid.uuid4().hex[:12])


def enc(value):
    """Percent-encoding as query values are sent: all but letters, digits and -._~"""
    return urllib.parse.quote(value, safe="")


def magnet(name):
    return "magnet:?xt=urn:btih:%s&dn=%s" % (HASH, name)


def log():
    with open(os.path.join(DIR, "requests.jsonl"), encoding="utf-8") as f:
        return [json.loads(line) for line in f if line.strip()]


def requests_of(tok):
    """(method, path, query, content type, body) of every API request made with the token."""
    return [(r["method"], r["path"], r["query"], r["content_type"], r["body"]) for r in log() if r["token"] == tok]


def link_requests(tag):
    return [(r["method"], r["path"]) for r in log() if r["path"].startswith("/links/%s/" % tag)]


def run(cmd, key=None):
    env = dict(os.environ)
    env.pop("VORN_API_KEY", None)
    if key is not None:
        env["VORN_API_KEY"] = key
    p = subprocess.run(cmd, capture_output=True, text=True, env=env, timeout=120)
    for mark in SANITIZER_MARKS:
        assert mark not in p.stderr, p.stderr
    assert "Traceback" not in p.stderr and "terminate called" not in p.stderr, p.stderr
    return p


def vorn(*args, key=None, cacert=True, host=True):
    cmd = [VORN, "--plugin", PLUGIN] + (["--host", HOST] if host else []) + (["--cacert", CA] if cacert else [])
    return run(cmd + list(args), key)


def api(method, path, query, content_type="", body=""):
    return (method, API + path, query, content_type, body)


class Case(unittest.TestCase):
    def assertOneLineError(self, p, status, start):
        self.assertEqual(p.returncode, status, p.stderr)
        lines = p.stderr.strip().splitlines()
        self.assertEqual(len(lines), 1, p.stderr)
        self.assertTrue(lines[0].startswith("vorn: " + start), lines[0])


class Validate(Case):
    def test_account_over_https(self):
        tok = token()
        p = vorn("validate", key=tok)
        self.assertEqual(p.returncode, 0, p.stderr)
        for line in ("RuntimeType: REALDEBRID", "Username: e2e-user", "Email: e2e@example.invalid",
                     "Expiration: 2030-01-01T00:00:00.000Z"):
            self.assertIn(line + "\n", p.stdout)
        self.assertEqual(requests_of(tok), [api("GET", "/user", "auth_token=" + tok)])
        sent = [r for r in log() if r["token"] == tok][0]
        self.assertEqual(sent["user_agent"], "vorn/1.0.0")
        self.assertIn("gzip", sent["accept_encoding"])  # and the stand-in answered compressed

    def test_json_is_the_plugin_answer(self):
        tok = token()
        p = vorn("--json", "validate", key=tok)
        self.assertEqual(p.returncode, 0, p.stderr)
        self.assertEqual(len(p.stdout.splitlines()), 1)
        answer = json.loads(p.stdout)
        self.assertEqual(list(answer)[:3], ["RuntimeType", "ID", "Username"])
        self.assertEqual(answer["Username"], "e2e-user")

    def test_settings_file_and_overrides(self):
        tok = token()
        with tempfile.TemporaryDirectory() as d:
            cases = [  # settings file, extra arguments, expected ID
                ({"APIKey": tok, "Host": HOST, "ID": "from-file"}, [], "from-file"),
                ({"APIKey": tok, "Host": "wrong.invalid:1", "ID": "x"}, ["--host", HOST], "x"),
                ({"APIKey": "bad-key", "Host": HOST, "ID": "y"}, ["--api-key", tok], "y"),
            ]
            for settings, extra, want_id in cases:
                with self.subTest(settings=settings, extra=extra):
                    path = os.path.join(d, "settings.json")
                    with open(path, "w") as f:
                        json.dump(settings, f)
                    p = run([VORN, "--plugin", PLUGIN, "--cacert", CA, "--settings", path] + extra + ["validate"])
                    self.assertEqual(p.returncode, 0, p.stderr)
                    self.assertIn("ID: %s\n" % want_id, p.stdout)
        self.assertEqual(len(requests_of(tok)), 3)

    def test_wrong_token_is_an_auth_error(self):
        tok = token("bad")
        p = vorn("validate", key=tok)
        self.assertOneLineError(p, 2, "VORN_E_AUTH: user: bad_token (error_code 8, HTTP 401)")
        self.assertNotIn(tok, p.stderr)

    def test_certificate_is_verified(self):
        tok = token()
        p = vorn("validate", key=tok, cacert=False)
        self.assertOneLineError(p, 4, "VORN_E_TRANSPORT: GET %s%s/user?auth_token=***: curl: SSL" % (BASE, API))
        self.assertEqual(requests_of(tok), [])

    def test_verbose_shows_requests_redacted(self):
        tok = token()
        p = vorn("--verbose", "validate", key=tok)
        self.assertEqual(p.returncode, 0, p.stderr)
        self.assertIn("> GET %s%s/user?auth_token=***\n< 200," % (BASE, API), p.stderr)
        self.assertNotIn(tok, p.stderr + p.stdout)

    def test_rate_limited_after_a_burst(self):
        tok = token("burst")
        self.assertEqual([vorn("validate", key=tok).returncode for _ in range(2)], [0, 0])
        p = vorn("validate", key=tok)
        self.assertOneLineError(p, 4, "VORN_E_RATE_LIMITED: user: too_many_requests (error_code 34, HTTP 429)")


class Listing(Case):
    def test_folders(self):
        tok = token()
        paged = "auth_token=%s&limit=5000&page=1" % tok
        cases = [  # folder, request path, query, rows expected in the table
            ("torrents", "/torrents", paged, ["dir      -  Show.S01.1080p    tSHOW1", "dir      -  Movie.2020.2160p  tMOVIE2"]),
            ("downloads", "/downloads", paged,
             ["file  20.0 GiB  Movie.2020.2160p.mkv   %s/dl/DL1/Movie.2020.2160p.mkv" % BASE,
              "file   1.4 GiB  Show.S01E01.1080p.mkv  %s/dl/DL2/Show.S01E01.1080p.mkv" % BASE]),
            ("tSHOW1", "/torrents/info/SHOW1", "auth_token=" + tok,
             ["file  1.4 GiB  /Show.S01E01.1080p.mkv  -", "file  1.0 KiB  /Show.S01.nfo           -"]),
        ]
        for folder, path, query, rows in cases:
            with self.subTest(folder=folder):
                before = len(requests_of(tok))
                p = vorn("ls", folder, key=tok)
                self.assertEqual(p.returncode, 0, p.stderr)
                lines = p.stdout.splitlines()
                self.assertTrue(lines[0].startswith("TYPE"), p.stdout)
                for row in rows:
                    self.assertIn(row, lines)
                self.assertEqual(requests_of(tok)[before:], [api("GET", path, query)])

    def test_root_needs_no_request(self):
        tok = token()
        p = vorn("ls", key=tok)
        self.assertEqual(p.returncode, 0, p.stderr)
        self.assertIn("dir      -  torrents   torrents", p.stdout.splitlines())
        self.assertEqual(requests_of(tok), [])

    def test_json_listing_and_second_page(self):
        tok = token("many")
        p = vorn("--json", "ls", "torrents", key=tok)
        self.assertEqual(p.returncode, 0, p.stderr)
        entries = json.loads(p.stdout)
        self.assertEqual(len(entries), 5001)
        self.assertEqual(entries[0], {"name": "Bulk.00000", "path": "tM00000", "folder": True, "size": 1000,
                                      "id": "tM00000", "locator": "tM00000"})
        self.assertEqual([r[2] for r in requests_of(tok)],
                         ["auth_token=%s&limit=5000&page=%d" % (tok, n) for n in (1, 2)])

    def test_missing_folders(self):
        tok = token()
        for folder, start in (("tNOPE", "VORN_E_NOT_FOUND: torrents/info: unknown_ressource (error_code 7, HTTP 404)"),
                              ("nosuch", "VORN_E_NOT_FOUND: no such folder: nosuch")):
            with self.subTest(folder=folder):
                self.assertOneLineError(vorn("ls", folder, key=tok), 3, start)


class Stream(Case):
    def test_entry_from_a_listing_and_a_bare_link(self):
        tok = token()
        entry = json.loads(vorn("--json", "ls", "downloads", key=tok).stdout)[0]
        link = BASE + "/dl/DL1/Movie.2020.2160p.mkv"
        self.assertEqual(entry["locator"], link)
        unrestrict = api("POST", "/unrestrict/link", "auth_token=%s&link=%s" % (tok, enc(link)), FORM, "")
        for arg in (json.dumps(entry), link):
            with self.subTest(arg=arg):
                before = len(requests_of(tok))
                p = vorn("--json", "stream", arg, key=tok)
                self.assertEqual(p.returncode, 0, p.stderr)
                self.assertEqual(json.loads(p.stdout), {"url": link, "headers": {}, "size": 21474836480,
                                                        "name": "Movie.2020.2160p.mkv"})
                self.assertEqual(requests_of(tok)[before:], [unrestrict])
        p = vorn("stream", link, key=tok)
        self.assertEqual(p.stdout, "url: %s\nheaders: {}\nsize: 21474836480 (20.0 GiB)\nname: Movie.2020.2160p.mkv\n" % link)

    def test_unknown_link_reports_the_service_error(self):
        p = vorn("stream", BASE + "/nothing/here", key=token())
        self.assertOneLineError(p, 4, "VORN_E_TRANSPORT: unrestrict/link: file_unavailable (error_code 24, HTTP 503)")


class Add(Case):
    def test_refused_without_yes(self):
        tok = token()
        p = vorn("add", magnet("Show.S01.720p"), key=tok)
        self.assertOneLineError(p, 6, "VORN_E_WRITES_DISABLED: ")
        self.assertIn("--yes", p.stderr)
        self.assertEqual(requests_of(tok), [])

    def test_season_pack_gives_the_wanted_episode(self):
        tok = token()
        m = magnet("Pack.S01.720p")
        p = vorn("--json", "add", m, "--yes", "--full-season", "--season", "1", "--episode", "2", key=tok)
        self.assertEqual(p.returncode, 0, p.stderr)
        answer = json.loads(p.stdout)
        self.assertEqual(answer["InstantName"], "Pack.S01E02.720p.mkv")
        self.assertEqual(answer["InstantURL"], BASE + "/dl/N0001/2/Pack.S01E02.720p.mkv")
        self.assertEqual(answer["Payload"]["id"], "N0001")
        hoster = BASE + "/hoster/N0001/"
        self.assertEqual(requests_of(tok), [
            api("POST", "/torrents/addMagnet", "auth_token=%s&magnet=%s" % (tok, enc(m)), FORM, ""),
            api("GET", "/torrents/info/N0001", "auth_token=" + tok),
            api("POST", "/torrents/selectFiles/N0001", "auth_token=" + tok, FORM, "files=1,2,3"),
            api("GET", "/torrents/info/N0001", "auth_token=" + tok),
            api("POST", "/unrestrict/link", "auth_token=%s&link=%s" % (tok, enc(hoster + "1")), FORM, ""),
            api("POST", "/unrestrict/link", "auth_token=%s&link=%s" % (tok, enc(hoster + "2")), FORM, ""),
        ])

    def test_links_resolved_by_the_transport(self):
        """A redirect to a magnet link comes back as the answer; http redirects are followed up to 5 times."""
        cases = [  # link kind, probe paths, add request path, content type, instant file
            ("magnet-redirect", ["magnet-redirect"], "/torrents/addMagnet", FORM, "Redirected.Movie.2019.mkv"),
            ("hop/5", ["hop/5", "hop/4", "hop/3", "hop/2", "hop/1", "torrent"], "/torrents/addTorrent",
             "application/x-bittorrent", "Upload.Movie.2021.1080p.mkv"),
        ]
        for kind, probes, add_path, ctype, name in cases:
            with self.subTest(kind=kind):
                tok, tag = token(), uuid.uuid4().hex[:8]
                p = vorn("add", "--yes", "%s/links/%s/%s" % (BASE, tag, kind), key=tok)
                self.assertEqual(p.returncode, 0, p.stderr)
                self.assertIn("InstantName: %s\n" % name, p.stdout)
                self.assertEqual(link_requests(tag), [("GET", "/links/%s/%s" % (tag, x)) for x in probes])
                added = requests_of(tok)[0]
                self.assertEqual((added[0], added[1], added[3]), ("POST", API + add_path, ctype))
                if add_path.endswith("addMagnet"):
                    self.assertEqual(added[2], "auth_token=%s&magnet=%s" % (tok, enc(magnet("Redirected.Movie.2019"))))
                    self.assertEqual(added[4], "")
                else:
                    self.assertEqual(added[2], "auth_token=" + tok)
                    self.assertTrue(added[4].startswith("d8:announce") and "4:info" in added[4], added[4])

    def test_link_failures(self):
        for kind, status, start in (
                ("hop/6", 4, "VORN_E_TRANSPORT: GET %s/links/%%s/hop/6: more than 5 redirects" % BASE),
                ("page", 5, "VORN_E_FAILED: Link is not a magnet, a redirect-to-magnet or a torrent file")):
            with self.subTest(kind=kind):
                tok, tag = token(), uuid.uuid4().hex[:8]
                p = vorn("add", "--yes", "%s/links/%s/%s" % (BASE, tag, kind), key=tok)
                self.assertOneLineError(p, status, start.replace("%s", tag))
                self.assertEqual(requests_of(tok), [])

    def test_transfer_not_ready(self):
        for keep in (False, True):
            with self.subTest(keep_instant_only=keep):
                tok = token()
                p = vorn("add", "--yes", magnet("Slow.Movie.2022"), *(["--keep-instant-only"] if keep else []), key=tok)
                self.assertEqual(p.returncode, 3, p.stderr)
                paths = [r[1] for r in requests_of(tok)]
                if keep:
                    self.assertOneLineError(p, 3, "VORN_E_NOT_FOUND: the transfer never became ready and holds no files")
                    self.assertIn(API + "/torrents/delete/N0001", paths)
                    self.assertEqual(p.stdout, "")
                else:
                    self.assertOneLineError(p, 3, "VORN_E_NOT_FOUND: the transfer never became ready; the legacy "
                                                  "returned the largest file's path")
                    self.assertNotIn(API + "/torrents/delete/N0001", paths)
                    self.assertIn("FallbackPath: /Slow.Movie.2022.mkv\n", p.stdout)
                selected = [r for r in requests_of(tok) if "selectFiles" in r[1]]
                self.assertEqual([r[4] for r in selected], ["files=1"])  # the largest file only


class BadInput(Case):
    def test_one_line_and_a_status(self):
        with tempfile.TemporaryDirectory() as d:
            not_json = os.path.join(d, "settings.txt")
            with open(not_json, "w") as f:
                f.write("APIKey=1\n")
            tok = token()
            cases = [  # arguments, key in the environment, status, start of the line after "vorn: "
                (["frob"], tok, 1, "usage: unknown command: frob"),
                ([], tok, 1, "usage: "),
                (["ls", "a", "b"], tok, 1, "usage: "),
                (["validate"], None, 1, "VORN_E_INVALID: no account key"),
                (["--settings", os.path.join(d, "missing.json"), "validate"], tok, 1,
                 "VORN_E_INVALID: cannot read the settings file"),
                (["--settings", d, "validate"], tok, 1, "VORN_E_INVALID: cannot read the settings file"),
                (["--settings", not_json, "validate"], tok, 1, "VORN_E_INVALID: settings are not a JSON object"),
                (["stream", "{oops"], tok, 1, "VORN_E_INVALID: entry is not a JSON object"),
                (["stream", "hello"], tok, 1, "VORN_E_INVALID: ENTRY is neither"),
                (["add", magnet("X"), "--season", "two"], tok, 1, "usage: "),
                (["--cacert", os.path.join(d, "none.pem"), "validate"], tok, 1, "usage: "),
                (["--plugin", os.path.join(d, "libnone.so"), "validate"], tok, 5, "plugin: cannot load the plug-in"),
            ]
            for args, key, status, start in cases:
                with self.subTest(args=args):
                    p = run([VORN, "--plugin", PLUGIN, "--host", HOST] + args, key)
                    self.assertOneLineError(p, status, start)
                    self.assertEqual(p.stdout, "")
            self.assertEqual(requests_of(tok), [])

    def test_help_for_every_command(self):
        for cmd in ([], ["validate"], ["ls"], ["stream"], ["add"], ["demo"]):
            with self.subTest(cmd=cmd):
                p = run([VORN] + cmd + ["--help"])
                self.assertEqual(p.returncode, 0, p.stderr)
                self.assertIn("Usage: vorn", p.stdout)


class Demo(Case):
    def test_tour(self):
        p = run([VORN, "--plugin", PLUGIN, "demo"])
        self.assertEqual(p.returncode, 0, p.stderr)
        steps = [line for line in p.stdout.splitlines() if line[:2] in ("1.", "2.", "3.", "4.", "5.", "6.", "7.")]
        self.assertEqual(len(steps), 7, p.stdout)
        self.assertIn("InstantName: Demo.Show.S01E02.1080p.mkv\n", p.stdout)


@unittest.skipUnless(HOST_BIN, "no example host")
class Example(Case):
    def test_lists_a_folder(self):
        tok = token()
        settings = json.dumps({"APIKey": tok, "Host": HOST})
        p = run([HOST_BIN, PLUGIN, settings, "torrents", CA])
        self.assertEqual(p.returncode, 0, p.stderr)
        self.assertIn('"name":"Show.S01.1080p"', p.stdout)
        self.assertEqual([r[1] for r in requests_of(tok)], [API + "/torrents"])

    def test_bad_settings(self):
        p = run([HOST_BIN, PLUGIN, "not json", "torrents", CA])
        self.assertEqual(p.returncode, 1)
        self.assertIn('{"error":"settings are not a JSON object"}', p.stderr)


if __name__ == "__main__":
    unittest.main()
