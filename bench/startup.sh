#!/usr/bin/env bash
# Start-up time and memory of the browser beside WebKitGTK's MiniBrowser, surf
# (when installed) and a floor program (a bare GTK window with one WebKit
# view) under a private X server; prints medians and the ratios.
#   bench/startup.sh [BUILD_DIR] [RUNS]
# With TAVORIN_BENCH_PROFILE=DIR ours starts on that profile (bench/profile_fill.py
# fills one), else on an empty one. With STARTUP_PATHS=1 ours also runs with the
# GPU path and the software path forced.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-7}
cmake --build "$build" --target startup_bench floor_bench map_watch >/dev/null
command -v surf >/dev/null || echo "surf not installed (apt-get install surf): left out" >&2
exec xvfb-run -a -s "-screen 0 1280x1024x24" \
  python3 bench/startup_measure.py "$build/bench/startup_bench" "$runs" \
  "$build/bench/floor_bench" "$build/bench/map_watch"
