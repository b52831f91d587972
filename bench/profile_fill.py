"""Fills a Tavorin profile the way a long-used one looks, through the program itself.

The real program (BUILD_DIR/app/tavorin) runs with its XDG folders in PROFILE and
loads a local page that gets COOKIES persistent cookies set and fetches CACHE_MB
one-megabyte resources that may be cached for a year. Once the engine has had
time to write them, the program is ended and the profile is checked: the cookie
store must hold the cookies and the cache folder the megabytes. Needs an X
server (run it under xvfb-run). Then time start-up with that profile:

    xvfb-run -a python3 bench/profile_fill.py build /tmp/profile
    TAVORIN_BENCH_PROFILE=/tmp/profile bench/startup.sh build

    python3 profile_fill.py BUILD_DIR PROFILE [COOKIES] [CACHE_MB]
"""

import http.server
import os
import signal
import sqlite3
import subprocess
import sys
import threading
import time

COOKIES_PER_RESPONSE = 100
MEGABYTE = 1 << 20
SETTLE_S = 5  # the engine writes its cache in the background
TIMEOUT_S = 120

done = threading.Event()


def fill_page(cookies, cache_mb):
    batches = (cookies + COOKIES_PER_RESPONSE - 1) // COOKIES_PER_RESPONSE
    return f"""<!doctype html><meta charset="utf-8"><title>fill</title><script>
(async () => {{
  for (let b = 0; b < {batches}; b++) await fetch('/cookies/' + b);
  for (let i = 0; i < {cache_mb}; i++) await (await fetch('/blob/' + i)).arrayBuffer();
  await fetch('/done');
}})();
</script>filling""".encode()


def handler(cookies, cache_mb):
    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            headers, body = [("Cache-Control", "no-store")], b""
            if self.path == "/fill.html":
                body = fill_page(cookies, cache_mb)
            elif self.path.startswith("/cookies/"):
                batch = int(self.path.rsplit("/", 1)[1])
                first = batch * COOKIES_PER_RESPONSE
                for n in range(first, min(first + COOKIES_PER_RESPONSE, cookies)):
                    headers.append(("Set-Cookie", f"c{n}=value-{n:04d}-{'x' * 24}; Max-Age=31536000; Path=/"))
            elif self.path.startswith("/blob/"):
                headers = [("Cache-Control", "public, max-age=31536000"),
                           ("Content-Type", "application/octet-stream")]
                body = os.urandom(MEGABYTE)
            elif self.path == "/done":
                done.set()
            self.send_response(200)
            for name, value in headers:
                self.send_header(name, value)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, *args):
            pass

    return Handler


def environment(profile):
    env = dict(os.environ, HOME=os.path.join(profile, "home"))
    for name, folder in (("XDG_DATA_HOME", "data"), ("XDG_CACHE_HOME", "cache"),
                         ("XDG_CONFIG_HOME", "config")):
        env[name] = os.path.join(profile, folder)
        os.makedirs(env[name], mode=0o700, exist_ok=True)
    return env


def folder_bytes(folder):
    """Bytes on disk below `folder`, each file once however many links it has."""
    seen = {}
    for d, _, files in os.walk(folder):
        for f in files:
            status = os.lstat(os.path.join(d, f))
            seen[(status.st_dev, status.st_ino)] = status.st_size
    return sum(seen.values())


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    build, profile = sys.argv[1], os.path.abspath(sys.argv[2])
    cookies = int(sys.argv[3]) if len(sys.argv) > 3 else 1000
    cache_mb = int(sys.argv[4]) if len(sys.argv) > 4 else 50
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler(cookies, cache_mb))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    url = f"http://127.0.0.1:{server.server_port}/fill.html"
    program = subprocess.Popen([os.path.join(build, "app", "tavorin"), url], env=environment(profile),
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if not done.wait(TIMEOUT_S):
        program.kill()
        sys.exit("the page did not finish filling the profile")
    time.sleep(SETTLE_S)
    program.send_signal(signal.SIGTERM)
    program.wait()
    time.sleep(1)  # the engine's processes end after the program
    server.shutdown()

    store = os.path.join(profile, "data", "tavorin", "cookies.sqlite")
    with sqlite3.connect(store) as db:
        kept = db.execute("select count(*) from moz_cookies").fetchone()[0]
    cache = folder_bytes(os.path.join(profile, "cache", "tavorin")) / MEGABYTE
    print(f"{profile}: {kept} cookies, {cache:.1f} MiB in the cache")
    if kept < cookies or cache < cache_mb:
        sys.exit("the profile is not as full as asked")


if __name__ == "__main__":
    main()
