#!/usr/bin/env bash
# A private window's opening against an ordinary one's, under a private X server.
#   bench/private.sh [BUILD_DIR] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-10}
cmake --build "$build" --target private_bench >/dev/null
xvfb-run -a -s "-screen 0 1280x1024x24" "$build/bench/private_bench" "$runs" 2>/dev/null
