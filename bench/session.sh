#!/usr/bin/env bash
# Start-up with a kept session of 20 windows (a killed run's, offered back)
# and 100 000 history entries, against an empty profile, alternating under a
# private X server.
#   bench/session.sh [BUILD_DIR] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-9}
cmake --build "$build" --target tavorin map_watch >/dev/null
exec xvfb-run -a -s "-screen 0 1280x1024x24" dbus-run-session -- \
  python3 bench/session_measure.py "$build/app/tavorin" "$build/bench/map_watch" "$runs"
