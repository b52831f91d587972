#!/usr/bin/env bash
# The key-hook, start-up and navigation tests again as a native Wayland
# client: under a headless sway with no Xwayland, keys coming from virtual
# keyboards (wtype). Usage: scripts/wayland_test.sh [build dir [test filter]]
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

BUILD=${1:-build}
TESTS=${2:-"KeyHookTest.*:Startup.*:SettingsApplied.*:ErrorInHandlerTest.*"}
USER_NAME=tavorin-wayland

skip() {
  echo "wayland: skipped: $*"
  exit 0
}

if ! install_missing "${WAYLAND_PACKAGES[@]}"; then
  skip "${WAYLAND_PACKAGES[*]} could not be installed"
fi
if ! command -v sway >/dev/null || ! command -v wtype >/dev/null; then
  skip "sway or wtype is missing"
fi

# sway refuses to run as root: the compositor and the tests then run as a
# user without privileges.
as_user=()
runner=$(id -un)
if [ "$(id -u)" -eq 0 ]; then
  if ! id "$USER_NAME" >/dev/null 2>&1; then
    useradd --system --no-create-home --shell /usr/sbin/nologin "$USER_NAME" ||
      skip "no user without privileges to run sway as"
  fi
  runner=$USER_NAME
  as_user=(setpriv --reuid="$USER_NAME" --regid="$USER_NAME" --init-groups)
fi

runtime=$(mktemp -d /tmp/tavorin-wayland-XXXXXX)
chmod 700 "$runtime"
[ ${#as_user[@]} -eq 0 ] || chown "$USER_NAME:" "$runtime"
printf 'xwayland disable\n' >"$runtime/sway.conf"

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$runtime"
}
trap cleanup EXIT

# Only what the session needs: no DISPLAY, so nothing falls back to X. Run
# straight, not through a function, so that $! is the program itself.
session=("${as_user[@]}" env -i PATH=/usr/local/bin:/usr/bin:/bin HOME="$runtime"
  XDG_RUNTIME_DIR="$runtime" LANG=C.UTF-8)

"${session[@]}" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
  sway --config "$runtime/sway.conf" >"$runtime/sway.log" 2>&1 &
pids+=($!)
socket=""
for _ in $(seq 100); do
  socket=$(find "$runtime" -maxdepth 1 -name 'wayland-*' -type s -printf '%f\n' | head -n1)
  [ -n "$socket" ] && break
  sleep 0.1
done
if [ -z "$socket" ]; then
  cat "$runtime/sway.log"
  echo "wayland: sway did not start"
  exit 1
fi

# The seat's own keyboard, there all along as a desktop's is; each key a
# test types comes from a second virtual keyboard with a keymap of its own.
"${session[@]}" WAYLAND_DISPLAY="$socket" wtype -s 86400000 &
pids+=($!)

# A build under a folder the user cannot enter (root's home, say) is run
# from a copy: a test binary needs nothing else of the build.
bus=()
command -v dbus-run-session >/dev/null && bus=(dbus-run-session --)
status=0
for binary in window/window_tests app/app_tests settings/settings_tests; do
  tests_binary="$BUILD/tests/$binary"
  name=$(basename "$binary")
  if ! "${as_user[@]}" test -x "$tests_binary"; then
    cp "$tests_binary" "$runtime/$name"
    [ ${#as_user[@]} -eq 0 ] || chown "$USER_NAME:" "$runtime/$name"
    tests_binary="$runtime/$name"
  fi
  "${as_user[@]}" test -x "$tests_binary" || {
    echo "wayland: $tests_binary cannot be run by $runner"
    exit 1
  }
  echo "wayland: $tests_binary under sway ($TESTS)"
  "${session[@]}" WAYLAND_DISPLAY="$socket" GDK_BACKEND=wayland NO_AT_BRIDGE=1 "${bus[@]}" \
    "$tests_binary" --gtest_filter="$TESTS" --gtest_brief=1 || status=$?
done
exit "$status"
