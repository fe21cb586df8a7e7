#!/usr/bin/env python3
"""A tunnelling (CONNECT) proxy on 127.0.0.1 that asks for a credential and
answers the tunnelled HTTPS request itself, for the tests.

    connect_proxy.py DIR USER PASSWORD HOST

Makes a self-signed certificate for HOST (DIR/cert.pem, with the openssl
command), then writes its port to DIR/port once it accepts connections.
A CONNECT request without the Basic Proxy-Authorization of USER:PASSWORD
gets 407. With it the proxy answers 200, speaks TLS with that certificate on
the tunnel and answers the request inside with 200 and the body "tunnelled".
Nothing but this process is ever reached. Each CONNECT line with its
Proxy-Authorization value ("-" for none), and each tunnelled request line
with its Proxy-Authorization value, is appended to DIR/log.
Runs until it is killed; every connection is bounded in time.
"""
import base64
import os
import socketserver
import ssl
import subprocess
import sys
import threading

work_dir, user, password, host = sys.argv[1:5]
expected = base64.b64encode(f"{user}:{password}".encode()).decode()
log_lock = threading.Lock()
cert = os.path.join(work_dir, "cert.pem")
key = os.path.join(work_dir, "key.pem")
subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                "-nodes", "-keyout", key, "-out", cert, "-days", "1", "-subj", "/CN=" + host,
                "-addext", "subjectAltName=DNS:" + host],
               check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=20)
tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
tls.load_cert_chain(cert, key)


def read_head(stream):
    """The request line and the Proxy-Authorization value ("-" when absent)."""
    request_line = stream.readline(8192).decode("latin-1").strip()
    credential = "-"
    for _ in range(200):
        line = stream.readline(8192).decode("latin-1")
        if line in ("\r\n", "\n", ""):
            break
        name, _, value = line.partition(":")
        if name.strip().lower() == "proxy-authorization":
            credential = value.strip()
    with log_lock, open(os.path.join(work_dir, "log"), "a") as log:
        log.write(f"{request_line}\t{credential}\n")
    return request_line, credential


class Handler(socketserver.StreamRequestHandler):
    timeout = 20

    def handle(self):
        request_line, credential = read_head(self.rfile)
        if not request_line.startswith("CONNECT "):
            self.wfile.write(b"HTTP/1.1 405 Method Not Allowed\r\nContent-Length: 0\r\n\r\n")
            return
        scheme, _, token = credential.partition(" ")
        if scheme.lower() != "basic" or token.strip() != expected:
            self.wfile.write(b"HTTP/1.1 407 Proxy Authentication Required\r\n"
                             b"Proxy-Authenticate: Basic realm=\"test\"\r\nContent-Length: 0\r\n\r\n")
            return
        self.wfile.write(b"HTTP/1.1 200 Connection established\r\n\r\n")
        self.wfile.flush()
        with tls.wrap_socket(self.connection, server_side=True) as inner:
            inner.settimeout(20)
            stream = inner.makefile("rb")
            read_head(stream)
            inner.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: 9\r\n"
                          b"Connection: close\r\n\r\ntunnelled")


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


server = Server(("127.0.0.1", 0), Handler)
port_file = os.path.join(work_dir, "port")
with open(port_file + ".tmp", "w") as f:
    f.write(str(server.server_address[1]))
os.replace(port_file + ".tmp", port_file)
server.serve_forever()
