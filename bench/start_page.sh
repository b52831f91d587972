#!/usr/bin/env bash
# The start page with 100 000 history entries: milliseconds from the main
# window mapped to the start page painted, against about:blank as home in the
# same rounds, under a private X server. Prints each run and the medians.
#   bench/start_page.sh [BUILD_DIR] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-9}
cmake --build "$build" --target start_page_bench >/dev/null
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
export XDG_DATA_HOME=$profile/data XDG_CACHE_HOME=$profile/cache XDG_CONFIG_HOME=$profile/config
"$build/bench/start_page_bench" fill
"$build/bench/start_page_bench" generate
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  bench=$1; runs=$2
  for home in about:blank tavorin://start/; do : > "$XDG_DATA_HOME/$(echo "$home" | tr -dc a-z).times"; done
  for ((i = 0; i < runs; i++)); do
    for home in about:blank tavorin://start/; do
      line=$("$bench" "$home" 2>/dev/null | tail -1)
      echo "$home $line"
      echo "$line" | awk "{print \$8}" >> "$XDG_DATA_HOME/$(echo "$home" | tr -dc a-z).times"
    done
  done
  for home in about:blank tavorin://start/; do
    printf "%s: median map to painted %s ms\n" "$home" \
      "$(sort -n "$XDG_DATA_HOME/$(echo "$home" | tr -dc a-z).times" | awk "{a[NR]=\$1} END {print a[int((NR+1)/2)]}")"
  done' _ "$build/bench/start_page_bench" "$runs"
