#!/usr/bin/env python3
"""The whole program's first pass over many channels, against the engine alone.

One run serves N generated feeds of M items from one loopback server (nginx
when it is installed, else Python's threaded http.server) and measures over
the same feeds:

  engine   one first pass of the engine alone (bench_channel_pass,
           BM_FirstPassOverServedFeeds);
  program  the staged orvan started with N empty channel files: the time
           from its first to its last "Updated channel " line
           of its activity log (without the wait for the worker's first
           pass, reported apart), and its resident memory after the pass
           (anonymous and file-backed, and the GL libraries it mapped);
           with --display the program runs on that X display and a probe
           clicks its "File" menu every 100 ms or so during the pass and
           times the click until the menu is shown (then closes it).

Each figure is the median over --runs runs; the ratio program / engine is
taken within each run.

    python3 bench/program_pass_bench.py [--stage build/release/stage]
        [--bench build/release/bench/bench_channel_pass] [--channels 1000]
        [--items 50] [--port 19810] [--display :18] [--runs 3]
"""
import argparse
import ctypes
import http.server
import json
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

from startup_bench import feed, make_program, updated_channels, wait_for


class FeedServer:
    """nginx over a folder of feeds when installed, else http.server."""

    def __init__(self, root, port):
        self.process = None
        self.server = None
        nginx = shutil.which('nginx') or ('/usr/sbin/nginx' if os.path.exists('/usr/sbin/nginx') else None)
        if nginx:
            conf = os.path.join(root, 'nginx.conf')
            with open(conf, 'w') as f:
                f.write('daemon off; worker_processes 2; pid %s/nginx.pid; error_log %s/nginx.err;\n'
                        'events { worker_connections 256; }\n'
                        'http { access_log off; types { application/rss+xml xml; }\n'
                        '  client_body_temp_path %s; proxy_temp_path %s; fastcgi_temp_path %s;\n'
                        '  uwsgi_temp_path %s; scgi_temp_path %s;\n'
                        '  server { listen 127.0.0.1:%d; root %s/feeds; } }\n'
                        % ((root, root) + (root,) * 5 + (port, root)))
            self.process = subprocess.Popen([nginx, '-c', conf, '-p', root], stdout=subprocess.DEVNULL,
                                            stderr=subprocess.DEVNULL)
            self.kind = 'nginx'
            time.sleep(0.5)
            if self.process.poll() is not None:
                raise SystemExit('nginx did not start (port %d taken?)' % port)
        else:
            folder = os.path.join(root, 'feeds')

            class Handler(http.server.SimpleHTTPRequestHandler):
                def __init__(self, *a, **k):
                    super().__init__(*a, directory=folder, **k)

                def log_message(self, *args):
                    pass

            class Server(http.server.ThreadingHTTPServer):
                daemon_threads = True

            self.server = Server(('127.0.0.1', port), Handler)
            threading.Thread(target=self.server.serve_forever, daemon=True).start()
            self.kind = 'http.server'
        self.base = 'http://127.0.0.1:%d' % port

    def stop(self):
        if self.process:
            self.process.send_signal(signal.SIGTERM)
            self.process.wait(30)
        if self.server:
            self.server.shutdown()


def memory(pid):
    """Resident KiB: total, anonymous, files, and the GL stack's files."""
    out = {'rss': 0, 'anon': 0, 'file': 0, 'gl': 0}
    try:
        with open('/proc/%d/status' % pid) as f:
            for line in f:
                key = line.split(':')[0]
                if key in ('VmRSS', 'RssAnon', 'RssFile'):
                    out[{'VmRSS': 'rss', 'RssAnon': 'anon', 'RssFile': 'file'}[key]] = int(line.split()[1])
        name = ''
        with open('/proc/%d/smaps' % pid) as f:
            for line in f:
                first = line.split(' ', 1)[0]
                if '-' in first and not first.endswith(':'):
                    parts = line.split()
                    name = parts[5] if len(parts) > 5 else ''
                elif first == 'Rss:' and any(k in name for k in ('LLVM', '/dri/', 'libGL', 'libgallium', 'mesa')):
                    out['gl'] += int(line.split()[1])
    except OSError:
        pass
    return out


class ClickProbe:
    """A click on the main window's first menu, timed until the menu's
    window is mapped (the user-interface thread builds and shows it), then
    Escape to close it: how long the program keeps a user's click waiting."""

    class AnyEvent(ctypes.Structure):
        _fields_ = [('type', ctypes.c_int), ('pad', ctypes.c_long * 23)]

    def __init__(self, display, window):
        x = self.x = ctypes.cdll.LoadLibrary('libX11.so.6')
        t = self.t = ctypes.cdll.LoadLibrary('libXtst.so.6')
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
        x.XFlush.argtypes = [ctypes.c_void_p]
        x.XPending.argtypes = [ctypes.c_void_p]
        x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
        x.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        x.XTranslateCoordinates.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_int,
                                            ctypes.c_int, ctypes.POINTER(ctypes.c_int),
                                            ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_ulong)]
        t.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_ulong]
        t.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        t.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        self.dpy = x.XOpenDisplay(display.encode())
        if not self.dpy:
            raise SystemExit('cannot open display %s' % display)
        root = x.XDefaultRootWindow(self.dpy)
        wx, wy, child = ctypes.c_int(), ctypes.c_int(), ctypes.c_ulong()
        x.XTranslateCoordinates(self.dpy, window, root, 0, 0, ctypes.byref(wx), ctypes.byref(wy), ctypes.byref(child))
        # The "File" menu of the menu bar.
        self.point = (wx.value + 20, wy.value + 8)
        self.escape = x.XKeysymToKeycode(self.dpy, 0xff1b)
        x.XSelectInput(self.dpy, root, 1 << 19)  # SubstructureNotifyMask: MapNotify, UnmapNotify

    def wait_for(self, kind, start, timeout):
        x = self.x
        ev = self.AnyEvent()
        while time.monotonic() - start < timeout:
            while x.XPending(self.dpy):
                x.XNextEvent(self.dpy, ctypes.byref(ev))
                if ev.type == kind:
                    return time.monotonic() - start
            time.sleep(0.001)
        return timeout

    def click(self, timeout=10.0):
        x, t = self.x, self.t
        while x.XPending(self.dpy):
            x.XNextEvent(self.dpy, ctypes.byref(self.AnyEvent()))
        t.XTestFakeMotionEvent(self.dpy, -1, self.point[0], self.point[1], 0)
        t.XTestFakeButtonEvent(self.dpy, 1, 1, 0)
        t.XTestFakeButtonEvent(self.dpy, 1, 0, 0)
        start = time.monotonic()
        x.XFlush(self.dpy)
        answer = self.wait_for(19, start, timeout)  # MapNotify
        t.XTestFakeKeyEvent(self.dpy, self.escape, 1, 0)
        t.XTestFakeKeyEvent(self.dpy, self.escape, 0, 0)
        x.XFlush(self.dpy)
        self.wait_for(18, time.monotonic(), timeout)  # UnmapNotify
        return answer


def engine_pass(bench, base, channels):
    env = dict(os.environ, ORVAN_BENCH_FEEDS_URL=base, ORVAN_BENCH_FEEDS=str(channels))
    out = subprocess.run([bench, '--benchmark_filter=BM_FirstPassOverServedFeeds', '--benchmark_format=json'],
                         env=env, capture_output=True, text=True, timeout=600)
    data = json.loads(out.stdout)
    b = data['benchmarks'][0]
    return b['wall_s_per_pass'], b['peak_rss_mib']


def main_window(display, pid, timeout=60):
    end = time.time() + timeout
    while time.time() < end:
        out = subprocess.run(['xdotool', 'search', '--all', '--pid', str(pid), '--onlyvisible', '--name', '^Orvan'],
                             env=dict(os.environ, DISPLAY=display), capture_output=True, text=True)
        ids = [int(w) for w in out.stdout.split()]
        if ids:
            # The main window is the largest one.
            def area(w):
                g = subprocess.run(['xdotool', 'getwindowgeometry', str(w)], env=dict(os.environ, DISPLAY=display),
                                   capture_output=True, text=True).stdout
                size = g.split('Geometry:')[-1].strip().split('x') if 'Geometry:' in g else ['0', '0']
                return int(size[0]) * int(size[1])
            return max(ids, key=area)
        time.sleep(0.1)
    raise SystemExit('no visible orvan window on %s' % display)


def program_pass(args, base, work, run_no):
    prog, user = make_program(args.stage, os.path.join(work, 'prog%d' % run_no), base, args.channels)
    home = os.path.join(work, 'home%d' % run_no)
    run = os.path.join(home, 'run')
    os.makedirs(run, mode=0o700)
    env = dict(os.environ, XDG_RUNTIME_DIR=run, XDG_CONFIG_HOME=os.path.join(home, 'config'),
               XDG_DATA_HOME=os.path.join(home, 'data'), XDG_CACHE_HOME=os.path.join(home, 'cache'),
               ORVAN_REGISTRY_FILE=os.path.join(home, 'registry.ini'), HOME=home,
               QTWEBENGINE_CHROMIUM_FLAGS='--no-sandbox')
    if args.display:
        env['DISPLAY'] = args.display
        env.pop('QT_QPA_PLATFORM', None)
    else:
        env['QT_QPA_PLATFORM'] = 'offscreen'
    # The program moves the user's folder into its data folder at start.
    user = os.path.join(env['XDG_DATA_HOME'], 'orvan', 'Users', os.path.basename(user))
    log = os.path.join(user, 'Logs', 'Orvan.log')
    activity = os.path.join(user, 'Logs', 'OrvanActivity.log')

    def updated():
        return updated_channels(activity)

    start = time.time()
    process = subprocess.Popen([os.path.join(prog, 'orvan')], env=env, cwd=home,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    ready = wait_for(log, 'Initialization completed OK', 600, start)
    pinger = ClickProbe(args.display, main_window(args.display, process.pid)) if args.display else None
    pings = []
    end = time.time() + 600
    last = 0
    first = None
    while time.time() < end:
        n = updated()
        if n > 0 and first is None:
            first = time.time() - start
        if n >= args.channels:
            break
        if pinger and n > 0:
            pings.append(pinger.click())
        time.sleep(0.1 if n != last else 0.02)
        last = n
    done = time.time() - start
    time.sleep(1)
    mem = memory(process.pid)
    process.send_signal(signal.SIGTERM)
    try:
        process.wait(120)
    except subprocess.TimeoutExpired:
        process.kill()
    # The worker's first pass begins an update interval after start-up: the
    # pass itself runs from its first update to its last, one update more.
    own = (done - first) * args.channels / max(args.channels - 1, 1) if first else done - ready
    return {'startup': ready, 'pass': own, 'wait': done - ready - own, 'updated': updated(), 'mem': mem,
            'pings': pings}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--stage', default='build/release/stage')
    parser.add_argument('--bench', default='build/release/bench/bench_channel_pass')
    parser.add_argument('--channels', type=int, default=1000)
    parser.add_argument('--items', type=int, default=50)
    parser.add_argument('--port', type=int, default=19810)
    parser.add_argument('--display', default='')
    parser.add_argument('--runs', type=int, default=3)
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix='orvan-pass-bench-')
    os.makedirs(os.path.join(work, 'feeds'))
    for n in range(args.channels):
        with open(os.path.join(work, 'feeds', '%d.xml' % n), 'wb') as f:
            f.write(feed(n, args.items))
    server = FeedServer(work, args.port)
    rows = []
    try:
        for r in range(args.runs):
            engine, engine_mib = engine_pass(args.bench, server.base, args.channels)
            prog = program_pass(args, server.base, work, r)
            rows.append((engine, engine_mib, prog))
            worst = max(prog['pings']) * 1000 if prog['pings'] else 0
            print('run %d: engine %.2f s, program %.2f s (%d updated), ratio %.2f, rss %.1f MiB, '
                  'slowest answer %.0f ms' % (r + 1, engine, prog['pass'], prog['updated'],
                                              prog['pass'] / engine, prog['mem']['rss'] / 1024.0, worst),
                  flush=True)
    finally:
        server.stop()
        shutil.rmtree(work, ignore_errors=True)

    med = statistics.median
    print('channels %d x %d items, server %s, %s' % (args.channels, args.items, server.kind,
                                                     ('display ' + args.display) if args.display else 'offscreen'))
    print('engine alone, first pass        %.2f s (peak %.1f MiB)' % (med(r[0] for r in rows),
                                                                     med(r[1] for r in rows)))
    print('program start-up                %.2f s' % med(r[2]['startup'] for r in rows))
    print('program waits for its first pass %.2f s' % med(r[2]['wait'] for r in rows))
    print('program first pass              %.2f s' % med(r[2]['pass'] for r in rows))
    print('program / engine (same run)     %.2f' % med(r[2]['pass'] / r[0] for r in rows))
    print('program resident after the pass %.1f MiB (anonymous %.1f, files %.1f, GL stack %.1f)' % (
        med(r[2]['mem']['rss'] for r in rows) / 1024.0, med(r[2]['mem']['anon'] for r in rows) / 1024.0,
        med(r[2]['mem']['file'] for r in rows) / 1024.0, med(r[2]['mem']['gl'] for r in rows) / 1024.0))
    pings = [p for r in rows for p in r[2]['pings']]
    if pings:
        pings.sort()
        print('clicks answered during the pass         %d, median %.1f ms, 95%% %.1f ms, slowest %.1f ms' % (
            len(pings), med(pings) * 1000, pings[int(len(pings) * 0.95)] * 1000, pings[-1] * 1000))


if __name__ == '__main__':
    sys.exit(main())
