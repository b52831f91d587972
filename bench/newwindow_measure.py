"""A new window opened by a click on a target=_blank link, ours beside
WebKitGTK's MiniBrowser on the same page.

Each run starts one browser on an opener page whose whole view is one
target=_blank link. Once that page has loaded and the window is mapped, the
x_click helper clicks in the middle of the window through XTEST, a real click
as from the user, the same for both browsers. The time runs from that click
to the target page's load event in the new window, reported to this server
like the start-up page's. Runs alternate between the browsers; each starts
afresh, so that both open their first new window.

    python3 newwindow_measure.py STARTUP_BENCH MAP_WATCH X_CLICK RUNS

With STARTUP_BASELINE set to another build's startup_bench, that build runs
in the same rounds.
"""

import os
import statistics
import subprocess
import sys
import threading
import time

import startup_measure as sm

SETTLE_S = 0.5

sm.PAGES["/opener.html"] = b"""<!doctype html><meta charset="utf-8"><title>opener</title>
<script>
addEventListener('load', () => {
  const link = document.getElementById('l');
  link.href = '/target.html' + location.search;
  const x = new XMLHttpRequest();
  x.open('GET', '/loaded' + location.search, false);
  x.send();
});
</script><body style="margin:0">
<a id="l" target="_blank" style="position:fixed;inset:0;background:#cce">new window</a></body>"""

sm.PAGES["/target.html"] = sm.PAGE.replace(b"'/loaded' + location.search",
                                           b"'/loaded' + location.search + '-target'")


def open_by_click(command, key, watch, click):
    start = time.monotonic()
    proc = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            start_new_session=True)
    try:
        window = watch.first_window_after(start, proc)
        sm.wait_loaded(key, proc)
        time.sleep(SETTLE_S)
        out = subprocess.run([click, window], capture_output=True, text=True, check=True)
        clicked = float(out.stdout.split()[0])
        return sm.wait_loaded(key + "-target", proc) - clicked
    finally:
        sm.stop(proc)


def main():
    bench, watch_cmd, click, runs = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
    watch = sm.MapWatch(watch_cmd)
    server = sm.Server(("127.0.0.1", 0), sm.Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base = f"http://127.0.0.1:{server.server_port}/opener.html"
    commands = {
        "ours": lambda url: [bench, url, "-1"],
        "MiniBrowser": lambda url: [sm.MINIBROWSER, "--enable-sandbox", url],
    }
    baseline = os.environ.get("STARTUP_BASELINE")  # another build of startup_bench
    if baseline:
        commands["baseline"] = lambda url: [baseline, url, "-1"]
    times = {name: [] for name in commands}
    counter = 0
    for i in range(runs + 1):  # the first round warms the caches and is not counted
        for name, command in commands.items():
            counter += 1
            key = f"nw={counter}"
            t = open_by_click(command(f"{base}?{key}"), key, watch, click)
            if i:
                times[name].append(t)
    server.shutdown()
    watch.close()
    med = {n: statistics.median(t) * 1000 for n, t in times.items()}
    print(f"new window by a click on a target=_blank link, to its page loaded; "
          f"medians of {runs} alternating runs")
    for name, ms in med.items():
        print(f"  {name:12} {ms:8.1f} ms")
    print(f"  ours / MiniBrowser (goal <= 1.0)  {med['ours'] / med['MiniBrowser']:6.2f}")
    if baseline:
        print(f"  ours / baseline                   {med['ours'] / med['baseline']:6.2f}")


if __name__ == "__main__":
    main()
