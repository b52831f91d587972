"""Start-up of our browser beside WebKitGTK's MiniBrowser on the same local page.

Each run starts one browser on a page served here. The page's load event asks
this server for /loaded (synchronously, so the load finishes only after it):
the time from process start to that request is the time to the first
completed load, the same for both browsers. Time runs end by themselves after
the load (our bench with hold 0, MiniBrowser with --exit-after-load); memory
runs stay up, and once the page has loaded and settled the proportional set
size of the browser and all its descendants (the engine's processes) is
summed from /proc/<pid>/smaps_rollup. Runs alternate between the browsers.

    python3 startup_measure.py STARTUP_BENCH RUNS

Ours runs on the profile in $TAVORIN_BENCH_PROFILE (see profile_fill.py), else
on an empty one of its own.
"""

import http.server
import os
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

MINIBROWSER = "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser"
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

loaded_at = {}
loaded = threading.Condition()


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        path, _, query = self.path.partition("?")
        if path == "/loaded":
            with loaded:
                loaded_at.setdefault(query, time.monotonic())
                loaded.notify_all()
        body = PAGE if path == "/page.html" else b""
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


def pss_kib(pids):
    total = 0
    for pid in pids:
        try:
            with open(f"/proc/{pid}/smaps_rollup") as f:
                for line in f:
                    if line.startswith("Pss:"):
                        total += int(line.split()[1])
        except OSError:
            pass
    return total


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
    os.killpg(proc.pid, signal.SIGTERM)
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
    return dict(os.environ, XDG_DATA_HOME=os.path.join(profile, "data"),
                XDG_CACHE_HOME=os.path.join(profile, "cache"))


def run(command, key, stay, env=None):
    start = time.monotonic()
    proc = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            start_new_session=True, env=env)
    load_s = wait_loaded(key, proc) - start
    if not stay:
        proc.wait(TIMEOUT_S)
        return load_s, time.monotonic() - start, None
    time.sleep(SETTLE_S)
    pss = pss_kib(descendants(proc.pid))
    stop(proc)
    return load_s, None, pss


def main():
    bench, runs = sys.argv[1], int(sys.argv[2])
    server = Server(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base = f"http://127.0.0.1:{server.server_port}/page.html"

    def commands(url, stay):
        ours = [bench, url, "-1" if stay else "0"]
        # Our program runs pages in the engine's sandbox; so does the reference.
        mini = [MINIBROWSER, "--enable-sandbox"] + ([] if stay else ["--exit-after-load"]) + [url]
        return {"ours": ours, "MiniBrowser": mini}

    empty_profile = tempfile.TemporaryDirectory(prefix="tavorin-bench-")
    ours_env = profile_environment(os.environ.get("TAVORIN_BENCH_PROFILE", empty_profile.name))
    results = {name: {"load": [], "exit": [], "pss": []} for name in ("ours", "MiniBrowser")}
    counter = 0
    for stay in (False, True):
        for i in range(runs + 1):  # the first round warms the caches and is not counted
            for name in results:
                counter += 1
                key = f"run={counter}"
                load_s, exit_s, pss = run(commands(f"{base}?{key}", stay)[name], key, stay,
                                          ours_env if name == "ours" else None)
                if i == 0:
                    continue
                results[name]["load"].append(load_s)
                if exit_s is not None:
                    results[name]["exit"].append(exit_s)
                if pss is not None:
                    results[name]["pss"].append(pss)
    server.shutdown()
    report(results, runs)


def report(results, runs):
    med = {n: {k: statistics.median(v) for k, v in r.items()} for n, r in results.items()}
    ours, mini = med["ours"], med["MiniBrowser"]
    print(f"start-up under Xvfb; medians of {runs} runs that end after the load and {runs} that")
    print("stay up (start to load: all of them; PSS: after the load has settled)")
    print(f"{'':34}{'ours':>12}{'MiniBrowser':>14}{'ours/Mini':>12}")
    rows = [
        ("start to first load complete [ms]", "load", 1000),
        ("start to exit after the load [ms]", "exit", 1000),
        ("PSS of process tree [MiB]", "pss", 1 / 1024),
    ]
    for label, key, scale in rows:
        print(f"{label:34}{ours[key] * scale:12.1f}{mini[key] * scale:14.1f}"
              f"{ours[key] / mini[key]:12.2f}")


if __name__ == "__main__":
    main()
