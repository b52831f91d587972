#!/usr/bin/env bash
# Pages that declare no encoding, read right or not, per encoding and length,
# and a declared page's load with the detection against without it.
#   bench/encoding.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
rounds=${2:-200}
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
python3 bench/encoding_corpus.py "$corpus" >/dev/null
cmake --build "$build" --target encoding_bench >/dev/null
xvfb-run -a -s "-screen 0 1920x1080x24" "$build/bench/encoding_bench" "$corpus" "$rounds" 2>/dev/null
