#!/usr/bin/env python3
"""Loopback HTTP(S) server for the tests.

Started by the C++ fixture testsupport::HttpServer (tests/support/httpServer.h);
it can also be run by hand:

    http_server.py --routes ROUTES.json --port-file PORTFILE --log REQUESTS.log
                   [--cert CERT.pem --key KEY.pem]

The server binds 127.0.0.1 on a port chosen by the system and writes that port
to --port-file once it accepts connections.

Routes live in a JSON file that is read again whenever it changes, so a test
can change the answers while the server runs. The file is an object mapping a
request path (without the query) to one answer or to a list of answers. A list
is served in order, one entry per request, and its last entry repeats. A path
ending in "*" matches every path that begins with the text before the star.
An exact path wins over a prefix; the longest prefix wins among prefixes.
Requests that match nothing get 404.

One answer is an object with these optional keys:

  status          integer, default 200
  reason          status text, default the standard one
  headers         object of extra response headers
  body            response body as text (UTF-8)
  body_file       response body read from this file
  body_size       a generated body of this many bytes ("x" repeated)
  etag            sends ETag; a request whose If-None-Match equals it gets 304
  last_modified   sends Last-Modified; a request whose If-Modified-Since
                  equals it gets 304
  location        sends Location (use with status 301, 302, 303, 307, 308)
  auth            [user, password]: without a matching Basic Authorization
                  header the answer is 401 with a WWW-Authenticate header
  proxy_auth      [user, password]: for requests in proxy form (absolute URL
                  in the request line) without a matching Basic
                  Proxy-Authorization header the answer is 407
  stall           seconds to wait before anything is sent (bounded to 60)
  trickle         seconds to wait between body chunks of 1 KiB (bounded)
  no_length       true: no Content-Length; the body ends when the connection
                  closes

Requests in proxy form ("GET http://host:port/path HTTP/1.1") are answered
from the same routes by the URL's path, so the server also stands in for a
proxy.

Every request is appended to the --log file as

    REQUEST <method> <target>
    H <name>: <value>        (one line per request header)
    END
"""

import argparse
import base64
import http.server
import json
import os
import socketserver
import ssl
import sys
import threading
import time
import urllib.parse


class State:
    def __init__(self, routes_path, log_path):
        self.routes_path = routes_path
        self.log_path = log_path
        self.lock = threading.Lock()
        self.stamp = None
        self.routes = {}
        self.counters = {}

    def _reload(self):
        try:
            st = os.stat(self.routes_path)
            stamp = (st.st_mtime_ns, st.st_size, st.st_ino)
        except FileNotFoundError:
            stamp = None
        if stamp == self.stamp:
            return
        self.stamp = stamp
        self.counters = {}
        if stamp is None:
            self.routes = {}
            return
        with open(self.routes_path, "r", encoding="utf-8") as f:
            self.routes = json.load(f)

    def answer_for(self, path):
        with self.lock:
            self._reload()
            key = None
            if path in self.routes:
                key = path
            else:
                best = -1
                for k in self.routes:
                    if k.endswith("*") and path.startswith(k[:-1]) and len(k) > best:
                        key, best = k, len(k)
            if key is None:
                return None
            entry = self.routes[key]
            if isinstance(entry, list):
                n = self.counters.get(key, 0)
                self.counters[key] = n + 1
                return entry[min(n, len(entry) - 1)] if entry else None
            return entry

    def record(self, method, target, headers):
        lines = ["REQUEST %s %s" % (method, target)]
        for name, value in headers.items():
            lines.append("H %s: %s" % (name, value))
        lines.append("END")
        with self.lock:
            with open(self.log_path, "a", encoding="utf-8") as f:
                f.write("\n".join(lines) + "\n")


def basic_matches(header_value, credential):
    if not header_value or not credential:
        return False
    parts = header_value.split(None, 1)
    if len(parts) != 2 or parts[0].lower() != "basic":
        return False
    try:
        decoded = base64.b64decode(parts[1].strip(), validate=True).decode("utf-8")
    except Exception:
        return False
    return decoded == "%s:%s" % (credential[0], credential[1])


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "TestServer/1.0"
    # Headers and body go out in separate writes: without this, delayed
    # acknowledgements hold every answer on a kept-alive connection ~40 ms.
    disable_nagle_algorithm = True

    def log_message(self, fmt, *args):  # keep the test output quiet
        pass

    def _path_and_proxy_form(self):
        target = self.path
        if target.startswith("http://") or target.startswith("https://"):
            return urllib.parse.urlsplit(target).path or "/", True
        return urllib.parse.urlsplit(target).path, False

    def _send(self, status, reason, headers, body, trickle=0.0, no_length=False):
        self.send_response(status, reason)
        for name, value in headers:
            self.send_header(name, value)
        if no_length:
            self.send_header("Connection", "close")
            self.close_connection = True
        else:
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command == "HEAD" or status == 304:
            return
        if trickle > 0:
            for i in range(0, len(body), 1024):
                self.wfile.write(body[i:i + 1024])
                self.wfile.flush()
                time.sleep(min(trickle, 5.0))
        else:
            self.wfile.write(body)

    def do_GET(self):
        state = self.server.state
        state.record(self.command, self.path, self.headers)
        path, proxy_form = self._path_and_proxy_form()
        answer = state.answer_for(path)
        if answer is None:
            self._send(404, "Not Found", [("Content-Type", "text/plain")], b"no route\n")
            return

        stall = min(float(answer.get("stall", 0)), 60.0)
        if stall > 0:
            end = time.monotonic() + stall
            while time.monotonic() < end:
                time.sleep(0.05)

        if proxy_form and answer.get("proxy_auth"):
            if not basic_matches(self.headers.get("Proxy-Authorization"), answer["proxy_auth"]):
                self._send(407, "Proxy Authentication Required",
                           [("Proxy-Authenticate", 'Basic realm="proxy"')], b"proxy credential needed\n")
                return
        if answer.get("auth"):
            if not basic_matches(self.headers.get("Authorization"), answer["auth"]):
                self._send(401, "Unauthorized",
                           [("WWW-Authenticate", 'Basic realm="test"')], b"credential needed\n")
                return

        headers = []
        etag = answer.get("etag")
        last_modified = answer.get("last_modified")
        if etag:
            headers.append(("ETag", etag))
        if last_modified:
            headers.append(("Last-Modified", last_modified))
        not_modified = (etag and self.headers.get("If-None-Match") == etag) or \
                       (last_modified and self.headers.get("If-Modified-Since") == last_modified)
        if not_modified:
            self._send(304, "Not Modified", headers, b"")
            return

        if answer.get("location"):
            headers.append(("Location", answer["location"]))
        for name, value in answer.get("headers", {}).items():
            headers.append((name, value))
        if "body_file" in answer:
            with open(answer["body_file"], "rb") as f:
                body = f.read()
        elif "body_size" in answer:
            body = b"x" * int(answer["body_size"])
        else:
            body = answer.get("body", "").encode("utf-8")
        status = int(answer.get("status", 200))
        self._send(status, answer.get("reason"), headers, body, float(answer.get("trickle", 0)),
                   bool(answer.get("no_length", False)))

    do_HEAD = do_GET


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 128

    def handle_error(self, request, client_address):  # a client that went away is normal here
        pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--routes", required=True)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--cert")
    parser.add_argument("--key")
    args = parser.parse_args()

    server = Server(("127.0.0.1", 0), Handler)
    server.state = State(args.routes, args.log)
    if args.cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.cert, args.key)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    port = server.server_address[1]
    tmp = args.port_file + ".tmp"
    with open(tmp, "w") as f:
        f.write(str(port))
    os.replace(tmp, args.port_file)
    try:
        server.serve_forever(poll_interval=0.1)
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
