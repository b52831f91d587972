#!/usr/bin/env bash
# The desktop entry is valid and lets the desktop hand the program links and
# HTML files: it takes a list of addresses and declares the web handlers.
set -euo pipefail
entry=$1
fail() { echo "FAIL: $*" >&2; exit 1; }

desktop-file-validate "$entry" || fail "desktop-file-validate rejects $entry"
grep -qx 'Exec=tavorin %U' "$entry" || fail "Exec does not take %U"
mime=$(sed -n 's/^MimeType=//p' "$entry")
for type in x-scheme-handler/http x-scheme-handler/https text/html; do
  [[ ";$mime" == *";$type;"* ]] || fail "MimeType lacks $type: $mime"
done
