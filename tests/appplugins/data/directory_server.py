#!/usr/bin/env python3
"""A feed directory for the siteseek tests: Python's own XML-RPC server on
127.0.0.1, reached by the plug-in as the proxy of its configured host.

    directory_server.py --port-file PORT --calls CALLS.log [--encoding ENC]

Methods (their names are the ones the shipped request templates use):
  findSites(text)   the identifiers found for the text; special texts:
                    "fault" raises a fault, "stall" answers only after 20 s,
                    "none" finds nothing, "many" finds 150 feeds, "huge"
                    finds feed 900; any other text finds feeds 1 to 5.
  getFeedInfo(ids)  one struct per known identifier (see FEEDS); for 900,
                    250 structs with very long names and descriptions, the
                    first with an address far too long.
Every call is appended to the calls file as one JSON line [method, params].

The server accepts any path (rpc_paths=()), so the absolute-form target a
client sends to a proxy reaches it; POSTs to a path ending in "/html500" or
"/plain" get a non-XML-RPC answer instead.
"""

import argparse
import json
import socketserver
import threading
import time
import xmlrpc.client
import xmlrpc.server

FEEDS = {
    1: {"sitename": "<script>alert('name')</script> News",
        "dataurl": "javascript:alert(document.cookie)",
        "description": "<b>Bold</b> words & <script>alert('x')</script>more"},
    2: {"sitename": "Caf\u00e9 \u00dcber \u2615",
        "dataurl": "http://cafe.example.org/rss?a=1&b=\"2\"",
        "description": ""},
    3: {"SiteName": "Letter case", "DATAURL": "HTTPS://case.example.org/feed", "Description": "Members in other case"},
    4: {"sitename": "No address", "description": "skipped"},
    5: {"sitename": "Nested", "dataurl": "http://nested.example.org/rss",
        "extra": {"description": "from the inner struct"}},
}


def feed(i):
    return FEEDS.get(i, {"sitename": "Feed %d" % i, "dataurl": "http://feeds.example.org/%d.xml" % i,
                         "description": "Feed number %d" % i})


class Handler(xmlrpc.server.SimpleXMLRPCRequestHandler):
    rpc_paths = ()

    def do_POST(self):
        if self.path.endswith("/html500") or self.path.endswith("/plain"):
            length = int(self.headers.get("Content-Length", "0"))
            self.rfile.read(length)
            if self.path.endswith("/html500"):
                body, status, kind = b"<html><body><h1>Internal error</h1></body></html>", 500, "text/html"
            else:
                body, status, kind = b"directory closed for the night\n", 200, "text/plain"
            self.send_response(status)
            self.send_header("Content-Type", kind)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
            return
        super().do_POST()

    def log_message(self, format, *args):
        pass


class Server(socketserver.ThreadingMixIn, xmlrpc.server.SimpleXMLRPCServer):
    daemon_threads = True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--calls", required=True)
    parser.add_argument("--encoding", default="utf-8")
    args = parser.parse_args()
    lock = threading.Lock()

    def record(method, params):
        with lock, open(args.calls, "a", encoding="utf-8") as f:
            f.write(json.dumps([method, params], ensure_ascii=False) + "\n")

    def findSites(text):
        record("findSites", [text])
        if text == "fault":
            raise xmlrpc.client.Fault(4, "Too many searches <today>")
        if text == "stall":
            time.sleep(20)
        if text == "none":
            return []
        if text == "many":
            return list(range(1, 151))
        if text == "huge":
            return [900]
        return [1, 2, 3, 4, 5]

    def getFeedInfo(ids):
        record("getFeedInfo", [ids])
        if ids == [900]:
            huge = [{"sitename": "N" * 5000, "dataurl": "http://huge.example.org/%d" % i,
                     "description": "D" * 20000} for i in range(250)]
            huge[0]["dataurl"] = "http://long.example.org/" + "u" * 5000
            return huge
        return [feed(i) for i in ids]

    server = Server(("127.0.0.1", 0), requestHandler=Handler, logRequests=False, allow_none=True,
                    encoding=args.encoding)
    server.register_function(findSites, "findSites")
    server.register_function(getFeedInfo, "getFeedInfo")
    with open(args.port_file + ".tmp", "w") as f:
        f.write(str(server.server_address[1]))
    import os
    os.replace(args.port_file + ".tmp", args.port_file)
    server.serve_forever()


if __name__ == "__main__":
    main()
