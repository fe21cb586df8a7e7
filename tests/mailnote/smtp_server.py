#!/usr/bin/python3
"""A real SMTP server on 127.0.0.1 for the mailer tests (aiosmtpd).

Every accepted message is written to --dir as msg-<n>.eml (the message text
as received, dot-stuffing removed) and msg-<n>.meta (lines "from: ...",
"rcpt: ..." and "auth: <mechanism> <login>"); each greeting is appended to
greetings.log. The chosen port is written to --port-file when the server
accepts connections.

Modes: "smtp" (default) answers normally; "stall" accepts connections and
never says a word (what clients send it goes to received.log). Hostile
modes greet without end: "flood" sends continuation lines ("220-...") as
fast as the client takes them, "endless-line" one line that never ends,
"drip" a continuation line every 20 ms.
"""
import argparse
import os
import signal
import socket
import sys
import threading
import time


def write_atomically(path, data):
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.rename(tmp, path)


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def run_stall(args):
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    held = []

    lock = threading.Lock()

    def read_loop(conn):
        # Whatever a client sends is kept in received.log.
        while True:
            data = conn.recv(4096)
            if not data:
                return
            with lock, open(os.path.join(args.dir, "received.log"), "ab") as f:
                f.write(data)

    def accept_loop():
        while True:
            conn, _ = listener.accept()
            held.append(conn)
            threading.Thread(target=read_loop, args=(conn,), daemon=True).start()

    threading.Thread(target=accept_loop, daemon=True).start()
    write_atomically(args.port_file, str(listener.getsockname()[1]).encode())
    while True:
        time.sleep(1)


def run_hostile(args):
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)

    def send_loop(conn):
        try:
            if args.mode == "endless-line":
                conn.sendall(b"220 ")
                chunk = b"a" * 4096
                while True:
                    conn.sendall(chunk)
            elif args.mode == "flood":
                chunk = b"220-flooding the client with one more line\r\n" * 100
                while True:
                    conn.sendall(chunk)
            else:
                while True:
                    conn.sendall(b"220-drip\r\n")
                    time.sleep(0.02)
        except OSError:
            pass
        finally:
            conn.close()

    def accept_loop():
        while True:
            conn, _ = listener.accept()
            threading.Thread(target=send_loop, args=(conn,), daemon=True).start()

    threading.Thread(target=accept_loop, daemon=True).start()
    write_atomically(args.port_file, str(listener.getsockname()[1]).encode())
    while True:
        time.sleep(1)


def run_smtp(args):
    from aiosmtpd.controller import Controller
    from aiosmtpd.smtp import AuthResult

    lock = threading.Lock()
    counter = [0]

    class Handler:
        async def handle_EHLO(self, server, session, envelope, hostname, responses):
            with lock, open(os.path.join(args.dir, "greetings.log"), "a") as f:
                f.write("EHLO %s\n" % hostname)
            session.host_name = hostname
            return responses

        async def handle_DATA(self, server, session, envelope):
            with lock:
                n = counter[0]
                counter[0] += 1
            meta = ["from: %s" % envelope.mail_from]
            meta += ["rcpt: %s" % r for r in envelope.rcpt_tos]
            auth = getattr(session, "orvan_auth", None)
            if auth:
                meta.append("auth: %s %s" % auth)
            base = os.path.join(args.dir, "msg-%d" % n)
            write_atomically(base + ".eml", envelope.original_content)
            write_atomically(base + ".meta", ("\n".join(meta) + "\n").encode())
            return "250 Message accepted for delivery"

    def authenticator(server, session, envelope, mechanism, auth_data):
        login = auth_data.login.decode("utf-8", "replace")
        password = auth_data.password.decode("utf-8", "replace")
        if login == args.user and password == args.password:
            session.orvan_auth = (mechanism, login)
            return AuthResult(success=True)
        return AuthResult(success=False, handled=False)

    kwargs = dict(hostname="127.0.0.1", port=free_port())
    if args.user is not None:
        kwargs.update(authenticator=authenticator, auth_require_tls=False, auth_required=True)
        if args.no_login:
            kwargs["auth_exclude_mechanism"] = ["LOGIN"]
    controller = Controller(Handler(), **kwargs)
    controller.start()
    write_atomically(args.port_file, str(controller.port).encode())
    try:
        while True:
            time.sleep(1)
    finally:
        controller.stop()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--mode", default="smtp", choices=["smtp", "stall", "flood", "endless-line", "drip"])
    parser.add_argument("--user")
    parser.add_argument("--password")
    parser.add_argument("--no-login", action="store_true", help="refuse AUTH LOGIN")
    args = parser.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    if args.mode == "stall":
        run_stall(args)
    elif args.mode in ("flood", "endless-line", "drip"):
        run_hostile(args)
    else:
        run_smtp(args)


if __name__ == "__main__":
    main()
