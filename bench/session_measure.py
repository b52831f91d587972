"""Start-up of the program on a profile that keeps a session of 20 windows
left by a killed run (so the main window offers them back) and a history of
100 000 pages, against the same start on an empty profile, alternating in one
run of this script.

The session profile is made once through the program itself: it opens 20
windows, each going through five pages of its own, and is killed with SIGKILL once the
session file lists all of them; its history file then gets 100 000 more
entries. Every timed run starts on a fresh profile holding a copy of those two
files only (or on a fresh empty profile), with a page given on the command line
whose load event reports to this server, and is ended after that load.
Figures: process start to the main window mapped, and to the page's load.

    python3 session_measure.py TAVORIN MAP_WATCH RUNS
"""

import os
import shutil
import signal
import sqlite3
import statistics
import subprocess
import sys
import tempfile
import threading
import time

import startup_measure as sm

WINDOWS = 20
STEPS = 5
HISTORY = 100000
WORDS = ("shop", "books", "kaden", "fashion", "sports", "travel", "gourmet")


def environment(profile):
    env = dict(os.environ)
    for name, folder in (("HOME", "home"), ("XDG_DATA_HOME", "data"), ("XDG_CACHE_HOME", "cache"),
                         ("XDG_CONFIG_HOME", "config")):
        env[name] = os.path.join(profile, folder)
        os.makedirs(env[name], exist_ok=True)
    return env


def make_session(tavorin, base, profile):
    """A profile whose session file lists WINDOWS windows of a killed run."""
    for i in range(WINDOWS):
        # Each window goes on four times: a back/forward list of five pages.
        sm.PAGES[f"/window-{i}.html"] = (
            f"<title>window {i}</title><script>addEventListener('load', () => {{ if "
            f"(history.length < {STEPS}) setTimeout(() => location.href = '?step=' + "
            "history.length, 100); });</script>" + "text " * 200).encode()
    addresses = [f"{base}/window-{i}.html" for i in range(WINDOWS)]
    proc = subprocess.Popen([tavorin] + addresses, env=environment(profile),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            start_new_session=True)
    session = os.path.join(profile, "data", "tavorin", "session.ini")
    # Done once all windows are listed and nothing has changed for a while.
    deadline = time.monotonic() + 180
    text, last, steady_since = "", None, time.monotonic()
    while time.monotonic() < deadline:
        try:
            with open(session) as f:
                text = f.read()
        except OSError:
            text = ""
        if text != last:
            last, steady_since = text, time.monotonic()
        elif text.count("address=") >= WINDOWS and (
                text.count(f"?step={STEPS - 1}") >= WINDOWS or time.monotonic() - steady_since > 20):
            break
        time.sleep(0.2)
    else:
        raise RuntimeError("the session of 20 windows was not written:\n" + text)
    finished = text.count(f"?step={STEPS - 1}")
    tree = sm.descendants(proc.pid)
    os.killpg(proc.pid, signal.SIGKILL)
    proc.wait()
    for pid in tree[1:]:
        try:
            os.kill(pid, signal.SIGKILL)
        except OSError:
            pass
    return os.path.getsize(session), finished


def fill_history(history):
    """Adds HISTORY entries, a minute apart, to the history file the program made."""
    now = int(time.time() * 1e6)
    rows = ((f"https://www.{WORDS[i % len(WORDS)]}{i % 977}.example.jp/item/{i}?ref=list",
             f"商品 {i} の {WORDS[i % len(WORDS)]} ページ", 1 + i % 13, now - i * 60 * 1000000)
            for i in range(HISTORY))
    with sqlite3.connect(history) as db:
        db.executemany("INSERT INTO urls(url, title, visit_count, last_visit) VALUES(?, ?, ?, ?)",
                       rows)
        count = db.execute("SELECT count(*) FROM urls").fetchone()[0]
    db.close()
    return count


def timed_run(tavorin, url, key, watch, kept):
    """One start on a fresh profile, holding only the session and history files
    of the folder `kept` if given."""
    profile = tempfile.mkdtemp(prefix="tavorin-session-bench-")
    env = environment(profile)
    if kept:
        folder = os.path.join(env["XDG_DATA_HOME"], "tavorin")
        os.makedirs(folder, mode=0o700)
        for name in ("session.ini", "history.sqlite"):
            shutil.copy(os.path.join(kept, name), os.path.join(folder, name))
    start = time.monotonic()
    proc = subprocess.Popen([tavorin, url], env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, start_new_session=True)
    mapped = watch.first_after(start, proc) - start
    loaded = sm.wait_loaded(key, proc) - start
    sm.stop(proc)
    shutil.rmtree(profile, ignore_errors=True)
    return mapped, loaded


def main():
    tavorin, watch_command, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
    server = sm.Server(("127.0.0.1", 0), sm.Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base = f"http://127.0.0.1:{server.server_port}"
    template = tempfile.mkdtemp(prefix="tavorin-session-template-")
    size, finished = make_session(tavorin, base, template)
    kept = os.path.join(template, "data", "tavorin")
    entries = fill_history(os.path.join(kept, "history.sqlite"))
    watch = sm.MapWatch(watch_command)
    results = {"empty": ([], []), "session": ([], [])}
    counter = 0
    for i in range(runs + 1):  # the first round warms the caches and is not counted
        for name, profile in (("empty", None), ("session", kept)):
            counter += 1
            key = f"run={counter}"
            mapped, loaded = timed_run(tavorin, f"{base}/page.html?{key}", key, watch, profile)
            if i > 0:
                results[name][0].append(mapped)
                results[name][1].append(loaded)
    watch.close()
    server.shutdown()
    shutil.rmtree(template, ignore_errors=True)
    med = {n: (statistics.median(m), statistics.median(l)) for n, (m, l) in results.items()}
    print(f"start-up under Xvfb, medians of {runs} alternating runs; session file {size} bytes, "
          f"{WINDOWS} windows of a killed run ({finished} with all {STEPS} pages), offered back; "
          f"{entries} history entries")
    print(f"{'':34}{'empty':>10}{'session':>10}{'ratio':>8}")
    for label, k in (("start to main window mapped [ms]", 0), ("start to page loaded [ms]", 1)):
        e, s = med["empty"][k], med["session"][k]
        print(f"{label:34}{e * 1000:10.1f}{s * 1000:10.1f}{s / e:8.3f}")
    print("goal: both ratios <= 1.03")


if __name__ == "__main__":
    main()
