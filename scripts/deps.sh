# Sourced by scripts/run and scripts/test: installs the Debian packages the
# project needs when any is missing, then configures and builds into build/.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

PACKAGES=(
  build-essential cmake ninja-build pkg-config ccache clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-svg-dev
  libzip-dev zlib1g-dev libpcre2-dev gettext
  libxkbcommon-dev xkb-data libx11-data
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth imagemagick fonts-dejavu-core xdg-utils
  unzip python3 unrtf bible-kjv wamerican
  appstream desktop-file-utils
  # the chart's SVG and PDF drawn as pictures and their text read back by the tests
  librsvg2-bin poppler-utils
  # the KTouch files the exports write, validated against KTouch's schema by the tests
  libxml2-utils
  # CPack's DEB generator: file, and dpkg-shlibdeps for the shared-library dependencies
  file dpkg-dev
  # the start page read over the accessibility bus: a session bus, its registry, Python's bindings
  dbus-daemon at-spi2-core python3-pyatspi
)

# KEYFOLIO_PRINT_PACKAGES=1: print the list, one package a line, and do nothing else.
if [ "${KEYFOLIO_PRINT_PACKAGES:-0}" = 1 ]; then
  printf '%s\n' "${PACKAGES[@]}"
  return 0
fi

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing missing packages: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# KEYFOLIO_DEPS_ONLY=1: the packages only (scripts/sanitize configures its own build).
if [ "${KEYFOLIO_DEPS_ONLY:-0}" = 1 ]; then
  return 0
fi

BUILD="${KEYFOLIO_BUILD_DIR:-$ROOT/build}"
if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$BUILD" "$@"
