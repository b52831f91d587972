#!/usr/bin/env bash
# The install rules and the Debian package: the right files in the usual
# places, declared dependencies that cover every library the binary needs, and
# a binary from the package that starts and keeps running.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# What a desktop and Debian look for: the program, its entry, its icon at
# every size the icon theme knows and as SVG, the manual page, the metadata of
# software centres and the package's documents.
files=(bin/tavorin share/applications/tavorin.desktop share/man/man1/tavorin.1.gz
  share/metainfo/example.tavorin.tavorin.metainfo.xml share/doc/tavorin/copyright
  share/doc/tavorin/changelog.gz share/icons/hicolor/scalable/apps/tavorin.svg)
for size in 16 22 24 32 48 64 128 256; do
  files+=("share/icons/hicolor/${size}x${size}/apps/tavorin.png")
done

cmake --install "$build" --prefix "$work/prefix" >/dev/null
for f in "${files[@]}"; do
  [ -f "$work/prefix/$f" ] || fail "cmake --install did not put $f"
done

(cd "$build" && cpack -G DEB -B "$work/deb" >/dev/null)
deb=$(ls "$work"/deb/tavorin_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for p in libwebkit2gtk-4.1-0 libgtkmm-3.0-1v5 fonts-ipafont-gothic; do
  [[ $depends == *"$p"* ]] || fail "package does not depend on $p: $depends"
done
dpkg-deb -x "$deb" "$work/root"
for f in "${files[@]}"; do
  [ -f "$work/root/usr/$f" ] || fail "package lacks /usr/$f"
done
for size in 16 22 24 32 48 64 128 256; do
  png="$work/root/usr/share/icons/hicolor/${size}x${size}/apps/tavorin.png"
  [[ $(file -b "$png") == "PNG image data, $size x $size,"* ]] || fail "$png is not $size px"
done
# man finds the page where it is installed and renders it without a warning.
page=$(MANPATH="$work/root/usr/share/man" man -w tavorin) || fail "man does not find tavorin(1)"
text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>"$work/man-warnings")
[ ! -s "$work/man-warnings" ] || fail "man warns: $(cat "$work/man-warnings")"
[[ $text == *"hardware-acceleration="* ]] || fail "the manual page lacks the settings"
if ldd "$work/root/usr/bin/tavorin" | grep -q "not found"; then fail "unresolved libraries"; fi

# Started from the package, it must still be running after a few seconds. It
# gets a home of its own: with the user's, a running copy would take it over.
set +e
HOME=$work/home XDG_DATA_HOME=$work/home/data XDG_CACHE_HOME=$work/home/cache \
  XDG_CONFIG_HOME=$work/home/config timeout 5 "$work/root/usr/bin/tavorin"
status=$?
set -e
[ "$status" -eq 124 ] || fail "the packaged browser ended early with status $status"
