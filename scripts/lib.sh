# Shared by scripts/run and scripts/test: installs what is missing from
# Debian and builds. Sourced, not run.

# Packages to run the browser.
RUN_PACKAGES=(build-essential cmake pkg-config libgtkmm-3.0-dev libwebkit2gtk-4.1-dev
  libsecret-1-dev libsqlite3-dev libicu-dev libjson-glib-dev fonts-ipafont-gothic)
# And to test it.
TEST_PACKAGES=(xvfb xauth libgtest-dev libgmock-dev googletest libbenchmark-dev libxtst-dev
  libsoup-3.0-dev clang libclang-rt-14-dev file desktop-file-utils
  gnome-keyring libsecret-tools dbus dbus-x11 at-spi2-core
  lintian appstream man-db python3)
# And to test it as a Wayland client: a headless compositor and its keyboards.
WAYLAND_PACKAGES=(sway wtype)

install_missing() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# build DIR BUILD_TYPE [cmake options...]
build() {
  local dir=$1 type=$2
  shift 2
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE="$type" "$@" >/dev/null
  cmake --build "$dir" -j"$(nproc)"
}
