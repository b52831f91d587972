"""Start-up of our browser beside WebKitGTK's MiniBrowser, surf and a floor
program (a bare GTK window holding one WebKit view) on the same local page.

Each run starts one program on a page served here (the floor on about:blank).
A watcher on the X server notes when each top-level window is mapped: the
time from process start to the first one is the time to the window. The page's load event asks
this server for /loaded (synchronously, so the load finishes only after it):
the time from process start to that request is the time to the first
completed load, the same for both browsers. Time runs end by themselves after
the load (our bench with hold 0, MiniBrowser with --exit-after-load); memory
runs stay up, and once the page has loaded and settled the proportional set
size of the browser and all its descendants (the engine's processes) is
summed from /proc/<pid>/smaps_rollup. Runs alternate between the browsers.

    python3 startup_measure.py STARTUP_BENCH RUNS [FLOOR_BENCH MAP_WATCH]

With STARTUP_BASELINE set to another build's startup_bench, that build runs
in the same rounds, for a before/after comparison. With STARTUP_PATHS=1 ours
also runs with each rendering path forced (hardware-acceleration=always and
never in a settings file of its own); otherwise ours runs with no settings file
(auto).

Ours (and the baseline) run on the profile in $TAVORIN_BENCH_PROFILE (see
profile_fill.py), else on an empty one of their own.
"""

import http.server
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

MINIBROWSER = "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser"
SURF = shutil.which("surf")
SETTLE_S = 1.5
TIMEOUT_S = 60

PAGE = b"""<!doctype html><html><head><meta charset="utf-8"><title>start-up</title>
<style>body { font-family: sans-serif; margin: 2em } td { padding: 2px 8px }</style>
<script>
addEventListener('load', () => {
  const x = new XMLHttpRequest();
  x.open('GET', '/loaded' + location.search, false);
  x.send();
});
</script></head><body><h1>Tavorin start-up page</h1>
<p>A small local page with some text and a table.</p>
<table>""" + b"".join(b"<tr><td>row %d</td><td>value %d</td></tr>" % (i, i * i) for i in range(50)) + b"""
</table></body></html>"""

# Served pages by path; other scripts add theirs.
PAGES = {"/page.html": PAGE}
loaded_at = {}
loaded = threading.Condition()


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        path, _, query = self.path.partition("?")
        if path == "/loaded":
            with loaded:
                loaded_at.setdefault(query, time.monotonic())
                loaded.notify_all()
        body = PAGES.get(path, b"")
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Cache-Control", "no-store")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        pass  # a browser ended while a request of its was being answered


def descendants(root):
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as f:
                stat = f.read()
        except OSError:
            continue
        ppid = int(stat[stat.rindex(")") + 2:].split()[1])
        children.setdefault(ppid, []).append(int(entry))
    tree, todo = [], [root]
    while todo:
        pid = todo.pop()
        tree.append(pid)
        todo.extend(children.get(pid, []))
    return tree


def pss_kib(pids, field="Pss:"):
    total = 0
    for pid in pids:
        try:
            with open(f"/proc/{pid}/smaps_rollup") as f:
                for line in f:
                    if line.startswith(field):
                        total += int(line.split()[1])
        except OSError:
            pass
    return total


class MapWatch:
    """Times of top-level maps, from the map_watch helper."""

    def __init__(self, command):
        self.times = []
        self.cond = threading.Condition()
        self.proc = subprocess.Popen([command], stdout=subprocess.PIPE, text=True)
        if self.proc.stdout.readline().strip() != "ready":
            raise RuntimeError("map_watch did not start")
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            with self.cond:
                when, window = line.split()
                self.times.append((float(when), window))
                self.cond.notify_all()

    def first_after(self, start, proc):
        return self._first(start, proc)[0]

    def first_window_after(self, start, proc):
        return self._first(start, proc)[1]

    def _first(self, start, proc):
        deadline = time.monotonic() + TIMEOUT_S
        with self.cond:
            while True:
                later = [m for m in self.times if m[0] >= start]
                if later:
                    return min(later)
                if proc.poll() is not None or time.monotonic() > deadline:
                    raise RuntimeError(f"no window mapped: exit {proc.returncode}")
                self.cond.wait(0.05)

    def close(self):
        self.proc.kill()
        self.proc.wait()


def wait_loaded(key, proc):
    deadline = time.monotonic() + TIMEOUT_S
    with loaded:
        while key not in loaded_at:
            if proc.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError(f"no load for {key}: exit {proc.returncode}")
            loaded.wait(0.05)
        return loaded_at[key]


def stop(proc):
    tree = descendants(proc.pid)
    try:
        os.killpg(proc.pid, signal.SIGTERM)
    except ProcessLookupError:
        pass
    try:
        proc.wait(10)
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
    for pid in tree[1:]:  # engine processes that left the group
        try:
            os.kill(pid, signal.SIGKILL)
        except OSError:
            pass


def profile_environment(profile):
    return {"XDG_DATA_HOME": os.path.join(profile, "data"),
            "XDG_CACHE_HOME": os.path.join(profile, "cache")}


class Program:
    """How to start one program; `load` is False for one that reports no load."""

    def __init__(self, name, command, load=True, exits=False, env=None):
        self.name, self.command, self.load, self.exits = name, command, load, exits
        self.env = dict(os.environ, **env) if env else None


def run(program, url, key, watch, stay):
    """Times one start; returns a dict of the figures it gave."""
    out = {}
    start = time.monotonic()
    proc = subprocess.Popen(program.command(url, stay), stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, start_new_session=True, env=program.env)
    if watch is not None:
        out["map"] = watch.first_after(start, proc) - start
    if program.load:
        out["load"] = wait_loaded(key, proc) - start
    if stay:
        time.sleep(SETTLE_S)
        tree = descendants(proc.pid)
        out["pss"] = pss_kib(tree)
        # Private pages do not depend on what else runs on the machine.
        out["uss"] = pss_kib(tree, "Private_")
    elif program.exits:
        proc.wait(TIMEOUT_S)
        out["exit"] = time.monotonic() - start
    stop(proc)
    return out


def settings_environment(hardware_acceleration=None):
    """A settings folder of its own; with a value, a file that sets the path."""
    config = tempfile.mkdtemp(prefix="tavorin-bench-config-")
    if hardware_acceleration:
        os.makedirs(os.path.join(config, "tavorin"))
        with open(os.path.join(config, "tavorin", "tavorin.conf"), "w") as f:
            f.write(f"[Tavorin]\nhardware-acceleration={hardware_acceleration}\n")
    return {"XDG_CONFIG_HOME": config}


def programs(bench, floor):
    empty = tempfile.mkdtemp(prefix="tavorin-bench-")
    profile = profile_environment(os.environ.get("TAVORIN_BENCH_PROFILE", empty))
    ours = Program("ours", lambda url, stay: [bench, url, "-1" if stay else "0"], exits=True,
                   env=dict(profile, **settings_environment()))
    # Our program runs pages in the engine's sandbox; so do the references.
    mini = Program("MiniBrowser", lambda url, stay: [MINIBROWSER, "--enable-sandbox"] +
                   ([] if stay else ["--exit-after-load"]) + [url], exits=True)
    found = [ours, mini]
    baseline = os.environ.get("STARTUP_BASELINE")  # another build of startup_bench
    if baseline:
        found.append(Program("baseline", lambda url, stay: [baseline, url, "-1" if stay else "0"],
                             exits=True, env=profile))
    if os.environ.get("STARTUP_PATHS"):  # ours with each rendering path forced
        for path in ("always", "never"):
            found.append(Program(f"ours-{path}",
                                 lambda url, stay: [bench, url, "-1" if stay else "0"],
                                 exits=True, env=dict(profile, **settings_environment(path))))
    if floor:
        blank = lambda url, stay: [floor, "about:blank", "-1"]
        found.append(Program("floor", blank, load=False))
        # The floor again without GDK's GL probe, which our program skips.
        found.append(Program("floor-noGL", blank, load=False, env={"GDK_GL": "disable"}))
        # And on the page: the engine's own least time to the first load.
        found.append(Program("floor-page", lambda url, stay: [floor, url, "-1" if stay else "0"],
                             exits=True))
    if SURF:
        found.append(Program("surf", lambda url, stay: [SURF, url]))
    else:
        print("surf is not installed (apt-get install surf): left out", file=sys.stderr)
    return found


def main():
    bench, runs = sys.argv[1], int(sys.argv[2])
    floor = sys.argv[3] if len(sys.argv) > 3 else None
    watch = MapWatch(sys.argv[4]) if len(sys.argv) > 4 else None
    server = Server(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base = f"http://127.0.0.1:{server.server_port}/page.html"
    progs = programs(bench, floor)
    results = {p.name: {} for p in progs}
    counter = 0
    for stay in (False, True):
        for i in range(runs + 1):  # the first round warms the caches and is not counted
            for p in progs:
                if stay and p.name not in ("ours", "MiniBrowser", "baseline", "floor-page",
                                           "ours-always", "ours-never"):
                    continue
                counter += 1
                key = f"run={counter}"
                out = run(p, f"{base}?{key}", key, None if stay else watch, stay)
                if i == 0:
                    continue
                for k, v in out.items():
                    results[p.name].setdefault(k, []).append(v)
    server.shutdown()
    if watch is not None:
        watch.close()
    report(results, runs)


def report(results, runs):
    med = {n: {k: statistics.median(v) for k, v in r.items()} for n, r in results.items()}
    names = list(med)
    print(f"start-up under Xvfb; medians of {runs} alternating runs that end after the load")
    print(f"(the floor: after its window maps) and {runs} that stay up (PSS, once settled)")
    print("".join([f"{'':38}"] + [f"{n:>13}" for n in names]))
    rows = [
        ("start to top-level window mapped [ms]", "map", 1000),
        ("start to first load complete [ms]", "load", 1000),
        ("start to exit after the load [ms]", "exit", 1000),
        ("PSS of process tree [MiB]", "pss", 1 / 1024),
        ("private memory of process tree [MiB]", "uss", 1 / 1024),
    ]
    for label, key, scale in rows:
        cells = [f"{med[n][key] * scale:13.1f}" if key in med[n] else f"{'-':>13}" for n in names]
        print(f"{label:38}" + "".join(cells))
    print("ratios (goal):")
    ratios = [
        ("window mapped, ours / floor (<= 1.15)", "map", "floor"),
        ("window mapped, ours / floor-noGL", "map", "floor-noGL"),
        ("window mapped, ours / MiniBrowser", "map", "MiniBrowser"),
        ("window mapped, ours / surf", "map", "surf"),
        ("first load, ours / MiniBrowser (<= 0.9)", "load", "MiniBrowser"),
        ("first load, ours / surf", "load", "surf"),
        ("first load, ours / floor-page", "load", "floor-page"),
        ("first load, floor-page / MiniBrowser", None, None),
        ("PSS, ours / MiniBrowser (<= 0.8)", "pss", "MiniBrowser"),
        ("PSS, ours / floor-page", "pss", "floor-page"),
        ("private memory, ours / MiniBrowser", "uss", "MiniBrowser"),
        ("window mapped, ours / baseline", "map", "baseline"),
        ("first load, ours / baseline", "load", "baseline"),
        ("PSS, ours / baseline", "pss", "baseline"),
        ("private memory, ours / baseline", "uss", "baseline"),
    ]
    for path in ("always", "never"):
        name = f"ours-{path}"
        for label, key in (("window mapped", "map"), ("first load", "load"), ("PSS", "pss"),
                           ("private memory", "uss")):
            if name in med and key in med[name]:
                print(f"  {label + ', ' + name + ' / MiniBrowser':44}"
                      f"{med[name][key] / med['MiniBrowser'][key]:8.2f}")
    for label, key, other in ratios:
        if key is None and "floor-page" in med:
            floor_load = med["floor-page"]["load"] / med["MiniBrowser"]["load"]
            print(f"  {label:44}{floor_load:8.2f}")
        elif key is not None and key in med["ours"] and other in med and key in med[other]:
            print(f"  {label:44}{med['ours'][key] / med[other][key]:8.2f}")


if __name__ == "__main__":
    main()
