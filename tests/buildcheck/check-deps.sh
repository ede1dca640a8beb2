#!/usr/bin/env bash
# check-deps.sh: every program the build, the tests and the Debian package step
# call comes from a package that scripts/deps.sh installs, so a fresh machine
# has it and none comes from the developer's machine by chance. A program new to
# the build or the tests gets its line here.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
listed="$(KEYFOLIO_PRINT_PACKAGES=1 bash -c "source '$root/scripts/deps.sh'")"

# program            package ("essential": part of every Debian system)
needs="
cmake                 cmake
ninja                 ninja-build
pkg-config            pkg-config
clang++               clang
msgfmt                gettext
cpack                 cmake
file                  file
dpkg-shlibdeps        dpkg-dev
dpkg-deb              essential
ldd                   essential
unzip                 unzip
unrtf                 unrtf
python3               python3
appstreamcli          appstream
desktop-file-validate desktop-file-utils
xvfb-run              xvfb
import                imagemagick
rsvg-convert          librsvg2-bin
pdftoppm              poppler-utils
pdftotext             poppler-utils
Xvfb                  xvfb
dbus-run-session      dbus-daemon
"
status=0
while read -r prog pkg; do
  [ -n "$prog" ] || continue
  if [ "$pkg" != essential ] && ! grep -qx "$pkg" <<<"$listed"; then
    echo "FAIL: $prog comes from $pkg, which scripts/deps.sh does not install"
    status=1
  fi
  if ! command -v "$prog" >/dev/null; then
    echo "FAIL: $prog is not on this machine (package $pkg)"
    status=1
  fi
done <<<"$needs"
[ $status = 0 ] && echo "every program the build and the tests call is installed by scripts/deps.sh"
exit $status
