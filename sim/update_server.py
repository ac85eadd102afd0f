#!/usr/bin/python3
"""The maker's update server, simulated for tests and demos.

    update_server.py --port 9002 --scenario scenario.json --log requests.jsonl [--files DIR]

Binds 127.0.0.1 and speaks HTTP/1.0 (one request per connection, always a
Content-Length header). Every request is appended to the log as one JSON line
({"method", "path", "query", "target", "agent"}, agent being the User-Agent
header or "" without one) before it is answered. The scenario file is read on
every request, so a test may rewrite it between steps:

    {"routes": {"/svc/popup/model_check.jsp?esn=ESN1": ANSWER,
                "/csmg/b2c/client/ftp_country_info.jsp": [ANSWER, ANSWER, ...]},
     "files": "/path/to/folder"}

A route is matched by path and query first, then by the path alone. A list
answers its entries in turn and repeats the last one. An ANSWER is a string
(the body, status 200) or an object:

    {"body": "...", "status": 200, "mode": "ok", "delay": 0, "content_length": null,
     "size": null, "file": null, "cut_at": null}

The body is, first that applies: "size": N bytes where byte i is
(i * 7 + 3) % 251 (made once per size, then kept); "file": the bytes of that
file (an absolute path, read on each request); else "body". "status" goes
with any body. "content_length" is announced instead of the body's length.
"cut_at": N announces the length as usual but sends only the first N bytes of
the body and closes. "delay" seconds are waited before answering, in any mode.
A HEAD request gets the headers alone.

mode is one of: ok, empty (no body), garbled (bytes that are no XML), slow
(as ok, but `delay` defaults to 5), 404 (an HTML error page), cut (announces
the full length, sends half and closes), close (closes the connection without
answering), and the misbehaviours of a hostile server:

    trickle   the status line and headers a byte at a time, "interval" seconds
              (default 1) apart, then the body
    endless   no Content-Length, and body bytes without end until the client
              goes (or "limit" bytes, default 1 GiB, have gone)
    redirect  status "status" (default 302) to "location" (a loop when it names
              the same path)

Paths under /files/ are served from the files folder. Anything else gets a
404 page. The log line also has "args": the query decoded as a server reads
it ({name: [values]}, blank values kept).
"""
import argparse
import http.server
import json
import os
import socketserver
import threading
import time
import urllib.parse

ERROR_PAGE = b"<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1></body></html>"
GARBLED = b"\x00\xff<<<&&&>>>\xfe garbled \x01<row><sw_ver"
CHUNK = 64 * 1024  # bytes per write, so a large body goes out without copies


class State:
    def __init__(self, scenario, log, files):
        self.scenario, self.log, self.files = scenario, log, files
        self.lock = threading.Lock()
        self.counters = {}
        self.sized = {}

    def sized_body(self, n):
        """N bytes, byte i being (i * 7 + 3) % 251; built once per size."""
        with self.lock:
            body = self.sized.get(n)
            if body is None:
                # The pattern repeats every 251 bytes, so build one period and repeat it.
                period = bytes((i * 7 + 3) % 251 for i in range(251))
                body = (period * (n // 251 + 1))[:n]
                self.sized[n] = body
            return body

    def load(self):
        try:
            with open(self.scenario, encoding="utf-8") as f:
                return json.load(f)
        except (OSError, ValueError):
            return {}

    def record(self, entry):
        with self.lock, open(self.log, "a", encoding="utf-8") as f:
            f.write(json.dumps(entry) + "\n")

    def pick(self, key, answer):
        if not isinstance(answer, list):
            return answer
        with self.lock:
            n = self.counters.get(key, 0)
            self.counters[key] = n + 1
        return answer[min(n, len(answer) - 1)] if answer else ""


def make_handler(state):
    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.0"

        def log_message(self, *args):
            pass

        def do_HEAD(self):
            self.answer(head=True)

        def do_GET(self):
            self.answer(head=False)

        def send(self, status, body, content_type="text/xml; charset=utf-8", length=None, head=False, cut_at=None):
            self.send_response(status)
            self.send_header("Content-Type", content_type)
            self.send_header("Content-Length", str(len(body) if length is None else length))
            self.end_headers()
            if head:
                return
            view = memoryview(body)
            if cut_at is not None:
                view = view[: max(0, int(cut_at))]
                self.close_connection = True
            try:
                for start in range(0, len(view), CHUNK):
                    self.wfile.write(view[start:start + CHUNK])
                self.wfile.flush()
            except (BrokenPipeError, ConnectionResetError):
                # The client gave up reading (tests of cancelled downloads do that).
                self.close_connection = True

        def trickle(self, status, body, interval, head):
            self.close_connection = True
            text = (f"HTTP/1.0 {status} OK\r\nContent-Type: text/xml\r\n"
                    f"Content-Length: {len(body)}\r\n\r\n").encode("latin-1")
            try:
                for i in range(len(text)):
                    self.wfile.write(text[i:i + 1])
                    self.wfile.flush()
                    time.sleep(interval)
                if not head:
                    self.wfile.write(body)
                    self.wfile.flush()
            except OSError:
                pass  # the client gave up

        def endless(self, unit, limit):
            self.close_connection = True
            self.wfile.write(b"HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n")
            piece = unit * max(1, CHUNK // len(unit))
            sent = 0
            try:
                while sent < limit:
                    self.wfile.write(piece)
                    sent += len(piece)
            except OSError:
                pass  # the client gave up, as it should

        def redirect(self, status, location):
            self.send_response(status)
            self.send_header("Location", location)
            self.send_header("Content-Length", "0")
            self.end_headers()

        def answer(self, head):
            parts = urllib.parse.urlsplit(self.path)
            state.record({"method": self.command, "path": parts.path, "query": parts.query, "target": self.path,
                          "agent": self.headers.get("User-Agent", ""),
                          "args": urllib.parse.parse_qs(parts.query, keep_blank_values=True, encoding="latin-1")})
            scenario = state.load()
            routes = scenario.get("routes", {})
            key = self.path if self.path in routes else parts.path
            if key in routes:
                return self.scripted(state.pick(key, routes[key]), head)
            if parts.path.startswith("/files/"):
                folder = scenario.get("files") or state.files
                name = os.path.basename(urllib.parse.unquote(parts.path))
                path = os.path.join(folder or "", name)
                if folder and name and os.path.isfile(path):
                    with open(path, "rb") as f:
                        return self.send(200, f.read(), "application/octet-stream", head=head)
            self.send(404, ERROR_PAGE, "text/html", head=head)

        def scripted(self, a, head):
            if isinstance(a, str):
                a = {"body": a}
            mode = a.get("mode", "ok")
            if a.get("size") is not None:
                body = state.sized_body(int(a["size"]))
            elif a.get("file"):
                with open(a["file"], "rb") as f:
                    body = f.read()
            else:
                body = a.get("body", "")
                body = body.encode("utf-8") if isinstance(body, str) else bytes(body)
            status = int(a.get("status", 200))
            length = a.get("content_length")
            delay = a.get("delay", 5 if mode == "slow" else 0)
            if delay:
                time.sleep(float(delay))
            if mode == "close":
                self.close_connection = True
                return
            if mode == "empty":
                body = b""
            elif mode == "garbled":
                body = GARBLED
            elif mode == "404":
                status, body = 404, ERROR_PAGE
            if mode == "trickle":
                return self.trickle(status, body, float(a.get("interval", 1)), head)
            if mode == "endless":
                return self.endless(body or b"x" * 1024, int(a.get("limit", 1 << 30)))
            if mode == "redirect":
                return self.redirect(int(a.get("status", 302)), a["location"])
            cut_at = len(body) // 2 if mode == "cut" else a.get("cut_at")
            self.send(status, body, length=length, head=head, cut_at=cut_at)

    return Handler


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--port", type=int, default=9002)
    ap.add_argument("--scenario", required=True)
    ap.add_argument("--log", required=True)
    ap.add_argument("--files", default="")
    args = ap.parse_args()
    state = State(args.scenario, args.log, args.files)
    server = Server(("127.0.0.1", args.port), make_handler(state))
    print("ready", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
