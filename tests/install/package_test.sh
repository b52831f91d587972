#!/usr/bin/env bash
# The install rules and the Debian package: the right files in the usual
# places, declared dependencies that cover every library the binary needs, and
# a binary from the package that starts and keeps running.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/prefix" >/dev/null
for f in bin/tavorin share/applications/tavorin.desktop share/icons/hicolor/32x32/apps/tavorin.png; do
  [ -f "$work/prefix/$f" ] || fail "cmake --install did not put $f"
done

(cd "$build" && cpack -G DEB -B "$work/deb" >/dev/null)
deb=$(ls "$work"/deb/tavorin_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for p in libwebkit2gtk-4.1-0 libgtkmm-3.0-1v5 fonts-ipafont-gothic; do
  [[ $depends == *"$p"* ]] || fail "package does not depend on $p: $depends"
done
dpkg-deb -x "$deb" "$work/root"
for f in usr/bin/tavorin usr/share/applications/tavorin.desktop usr/share/icons/hicolor/32x32/apps/tavorin.png; do
  [ -f "$work/root/$f" ] || fail "package lacks /$f"
done
if ldd "$work/root/usr/bin/tavorin" | grep -q "not found"; then fail "unresolved libraries"; fi

# Started from the package, it must still be running after a few seconds. It
# gets a home of its own: with the user's, a running copy would take it over.
set +e
HOME=$work/home XDG_DATA_HOME=$work/home/data XDG_CACHE_HOME=$work/home/cache \
  XDG_CONFIG_HOME=$work/home/config timeout 5 "$work/root/usr/bin/tavorin"
status=$?
set -e
[ "$status" -eq 124 ] || fail "the packaged browser ended early with status $status"
