# Shared by the scripts: where things are, and installing what is missing.
# Source it; it sets ROOT and defines ensure_packages.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# Packages the panel needs to build and run.
BUILD_PACKAGES=(cmake make g++ pkg-config qt6-base-dev libgl-dev libusb-1.0-0-dev fonts-wqy-microhei
  libfontconfig-dev lld-16)
# Further packages for the tests, screenshots and end-to-end runs.
TEST_PACKAGES=(libgtest-dev libgmock-dev xvfb xauth umockdev libumockdev-dev desktop-file-utils appstream xdotool xclip libxcb1-dev ser2net socat dbus at-spi2-core
  python3-pyvisa python3-pyvisa-py python3-pymeasure lxi-tools rpcbind util-linux iproute2)
# Further packages for the Windows build and its tests under wine.
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix wine wine64 googletest socat)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

is_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# Installs, with one apt-get update, whichever of the named packages are missing.
ensure_packages() {
  local missing=()
  for pkg in "$@"; do
    is_installed "$pkg" || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
}

# configure_and_build DIR [cmake options...]
configure_and_build() {
  local dir=$1
  shift
  cmake -S "$ROOT" -B "$dir" "$@" >/dev/null
  cmake --build "$dir" --parallel "$(nproc)"
}

# build_release [cmake --build options...]: the release build in build/,
# built whole or as the options say. A first configuration leaves the tests
# out (they need test packages); once scripts/test has configured them in,
# they stay.
build_release() {
  local options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
  [ -f "$ROOT/build/CMakeCache.txt" ] || options+=(-DBUILD_TESTING=OFF)
  cmake -S "$ROOT" -B "$ROOT/build" "${options[@]}" >/dev/null
  cmake --build "$ROOT/build" --parallel "$(nproc)" "$@"
}

# Further packages for scripts/fuzz.
FUZZ_PACKAGES=(clang-14 libfuzzer-14-dev)
