#!/usr/bin/env bash
# Secondary windows under a private X server: the time from a click on a
# target=_blank link to the new window's loaded page, against the same page
# loaded in the main window and against MiniBrowser opening a window for the
# same link; and the extra memory per secondary window.
#   bench/windows.sh [BUILD_DIR] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-10}
cmake --build "$build" --target windows_bench startup_bench map_watch x_click >/dev/null
for mode in "time $runs" memory; do
  # shellcheck disable=SC2086  # the mode and its count are two arguments
  xvfb-run -a -s "-screen 0 1280x1024x24" "$build/bench/windows_bench" $mode 2>/dev/null
done
xvfb-run -a -s "-screen 0 1280x1024x24" python3 bench/newwindow_measure.py \
  "$build/bench/startup_bench" "$build/bench/map_watch" "$build/bench/x_click" "$runs"
