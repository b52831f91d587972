#!/usr/bin/env bash
# The glyphs and icons in data/ are what the artwork script draws now: none
# was edited by hand or left behind when the drawing changed.
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 "$source_dir/scripts/make_artwork.py" --out "$work"
diff -r "$work/glyphs" "$source_dir/data/glyphs"
diff -r "$work/icons" "$source_dir/data/icons"
