"""A stand-in score server for the tests, on 127.0.0.1 at a free port.

Usage: scoreServerStub.py LOGFILE
Prints the port on the first line of standard output, then serves until killed.
Every request's raw path is appended to LOGFILE, one line each. The first path
component picks the answer, so one server plays every kind of server:
  /ok/       200 "1"              /newline/  200 "1\n"
  /zero/     200 "0"              /empty/    200 with an empty body
  /error/    500 with an HTML page
  /hang/     accepts the request and never answers
  /redirect/ 302 to /ok/ with the same rest of the path
  /echo/     200 with the query's keys in order and each value decoded and hex
             encoded: "action=61757468;username=...;password=..."
"""
import sys
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

ANSWERS = {"ok": (200, b"1"), "newline": (200, b"1\n"), "zero": (200, b"0"),
           "empty": (200, b""), "error": (500, b"<html><body>Internal error</body></html>")}


def echo(query):
    pairs = urllib.parse.parse_qsl(query, keep_blank_values=True, encoding="latin-1")
    return ";".join(k + "=" + v.encode("latin-1").hex() for k, v in pairs).encode()


class Handler(BaseHTTPRequestHandler):
    def do_GET(self):
        with open(self.server.log_path, "a") as log:
            log.write(self.path + "\n")
        kind, _, rest = self.path.lstrip("/").partition("/")
        if kind == "hang":
            time.sleep(3600)
            return
        if kind == "redirect":
            self.send_response(302)
            self.send_header("Location", "/ok/" + rest)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        if kind == "echo":
            status, body = 200, echo(urllib.parse.urlsplit(self.path).query)
        else:
            status, body = ANSWERS.get(kind, (404, b"not found"))
        self.send_response(status)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
server.daemon_threads = True
server.log_path = sys.argv[1]
sys.stdout.write("%d\n" % server.server_address[1])
sys.stdout.flush()
server.serve_forever()
