#!/usr/bin/env bash
# Debian's own checker passes the package from cpack -G DEB: no error and no
# warning (informational notes are printed, not failed on).
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work/deb" >/dev/null)
deb=$(ls "$work"/deb/tavorin_*.deb)
# lintian warns when it runs as root, on its own stderr; that says nothing of the package.
lintian -I --fail-on error,warning "$deb" 2> >(grep -v "root privileges" >&2)
