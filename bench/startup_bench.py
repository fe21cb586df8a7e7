#!/usr/bin/env python3
"""Start-up and memory of the whole orvan program with many channels.

Builds a program directory beside a staged orvan (default: the release
build's stage), with N channels whose feeds of M items a local HTTP server on
127.0.0.1 serves, and runs the program offscreen twice:

  1. a first run fetches every feed (the channel files then hold the items);
  2. the measured run starts with those channel files and reports
     - the time from the process start to the shown main window and to the
       end of start-up (the log lines "CMainFrame created OK." and
       "Initialization completed OK"),
     - the resident memory of orvan after its first pass over the channels,
       and apart from it that of any Qt WebEngine helper process.

    python3 bench/startup_bench.py [--stage build/release/stage] [--channels 1000] [--items 50]
"""
import argparse
import http.server
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time


def feed(n, items):
    body = ['<?xml version="1.0"?><rss version="2.0"><channel><title>Channel %d</title>'
            '<link>http://example.com/%d/</link><description>bench</description>' % (n, n)]
    for i in range(items):
        body.append('<item><title>Item %d of channel %d</title><link>http://example.com/%d/%d</link>'
                    '<description>Some text of item %d, long enough to look like a summary of an '
                    'article.</description></item>' % (i, n, n, i, i))
    body.append('</channel></rss>')
    return ''.join(body).encode()


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True


def serve(items):
    cache = {}
    served = [0]
    lock = threading.Lock()

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            n = int(self.path.strip('/').split('.')[0])
            with lock:
                data = cache.get(n)
                if data is None:
                    data = cache[n] = feed(n, items)
                served[0] += 1
            self.send_response(200)
            self.send_header('Content-Type', 'application/rss+xml')
            self.send_header('Content-Length', str(len(data)))
            self.end_headers()
            self.wfile.write(data)

        def log_message(self, *args):
            pass

    server = Server(('127.0.0.1', 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, served


def rss_kib(pid):
    try:
        with open('/proc/%d/status' % pid) as f:
            for line in f:
                if line.startswith('VmRSS:'):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def children(pid):
    found = []
    for entry in os.listdir('/proc'):
        if not entry.isdigit():
            continue
        try:
            with open('/proc/%s/stat' % entry) as f:
                fields = f.read().rsplit(')', 1)[1].split()
            if int(fields[1]) == pid:
                found.append(int(entry))
        except OSError:
            pass
    return found


def wait_for(path, text, timeout, start):
    end = time.time() + timeout
    while time.time() < end:
        try:
            with open(path, errors='replace') as f:
                if text in f.read():
                    return time.time() - start
        except OSError:
            pass
        time.sleep(0.005)
    raise SystemExit('timed out waiting for %r in %s' % (text, path))


def updated_channels(activity):
    """How many channel updates the activity log tells of so far."""
    try:
        with open(activity, errors='replace') as f:
            return f.read().count('Updated channel ')
    except OSError:
        return 0


def make_program(stage, prog, base, count):
    """A program directory at prog with the staged files and a user "bench"
    with count channels <base>/<n>.xml; returns (prog, the user's folder)."""
    os.makedirs(prog)
    for name in ('orvan', 'liborvan-platform.so', 'global.ini'):
        shutil.copy2(os.path.join(stage, name), prog)
    shutil.copytree(os.path.join(stage, 'Resources'), os.path.join(prog, 'Resources'))
    with open(os.path.join(prog, 'debug.ini'), 'w') as f:
        f.write('[Debug]\nUserName=bench\n')
    user = os.path.join(prog, 'Users', 'bench')
    channels = os.path.join(user, 'Channels')
    os.makedirs(channels)
    with open(os.path.join(user, 'debug.ini'), 'w') as f:
        f.write('[MessageLog]\nStartup=1\n[Debug]\nNoWelcomeNotification=1\n')
    for n in range(count):
        with open(os.path.join(channels, 'c%04d.rss' % n), 'w') as f:
            f.write('[Config]\nRssChannelUrl=%s/%d.xml\n' % (base, n))
    return prog, user


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--stage', default='build/release/stage')
    parser.add_argument('--channels', type=int, default=1000)
    parser.add_argument('--items', type=int, default=50)
    args = parser.parse_args()

    server, served = serve(args.items)
    base = 'http://127.0.0.1:%d' % server.server_address[1]
    work = tempfile.mkdtemp(prefix='orvan-bench-')
    prog, user = make_program(args.stage, os.path.join(work, 'prog'), base, args.channels)
    channels = os.path.join(user, 'Channels')
    run = os.path.join(work, 'run')
    os.makedirs(run, mode=0o700)
    env = dict(os.environ, QT_QPA_PLATFORM='offscreen', XDG_RUNTIME_DIR=run,
               XDG_CONFIG_HOME=os.path.join(work, 'config'), HOME=work)
    log = os.path.join(user, 'Logs', 'Orvan.log')
    activity = os.path.join(user, 'Logs', 'OrvanActivity.log')

    def updated():
        return updated_channels(activity)

    def run_once(measure):
        served[0] = 0
        # The previous run's lines must not be taken for this run's.
        for path in (log, activity):
            try:
                os.remove(path)
            except OSError:
                pass
        start = time.time()
        process = subprocess.Popen([os.path.join(prog, 'orvan')], env=env, cwd=work,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shown = wait_for(log, 'CMainFrame created OK.', 600, start)
        ready = wait_for(log, 'Initialization completed OK', 600, start)
        end = time.time() + 1200
        while updated() < args.channels and time.time() < end:
            time.sleep(0.05)
        first_pass = time.time() - start
        time.sleep(1)
        own = rss_kib(process.pid)
        helpers = sum(rss_kib(c) for c in children(process.pid))
        process.send_signal(signal.SIGTERM)
        status = process.wait(120)
        if measure:
            print('channels %d x %d items' % (args.channels, args.items))
            print('main window shown after   %.2f s' % shown)
            print('start-up completed after  %.2f s' % ready)
            print('first pass done after     %.2f s (%d channels updated)' % (first_pass, updated()))
            print('resident memory of orvan  %.1f MB' % (own / 1024.0))
            print('WebEngine helpers         %.1f MB' % (helpers / 1024.0))
            print('exit status               %d' % status)

    run_once(False)
    # The measured run starts with full channel files, all due again, so its
    # first pass fetches and merges every feed.
    for name in os.listdir(channels):
        path = os.path.join(channels, name)
        with open(path, errors='replace') as f:
            text = f.read()
        with open(path, 'w') as f:
            f.write(re.sub(r'(?m)^LastFetchTime=.*$', 'LastFetchTime=0', text))
    run_once(True)
    server.shutdown()
    shutil.rmtree(work, ignore_errors=True)


if __name__ == '__main__':
    sys.exit(main())
