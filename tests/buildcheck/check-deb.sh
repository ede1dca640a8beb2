#!/usr/bin/env bash
# check-deb.sh BUILD-DIR APP-ID: makes the .deb with CPack and looks into it:
# the programs, the desktop files, and the dependencies it declares.
set -euo pipefail
build="$1" app_id="$2"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp" >"$tmp/cpack.log" \
  || { cat "$tmp/cpack.log"; exit 1; }
deb="$(ls "$tmp"/*.deb)"
fail() { echo "FAIL: $*"; exit 1; }
files="$(dpkg-deb -c "$deb")"
for f in ./usr/bin/keyfolio ./usr/bin/keyfolio-tool ./usr/share/keyfolio/help/index.html \
         "./usr/share/applications/$app_id.desktop" "./usr/share/metainfo/$app_id.metainfo.xml" \
         ./usr/share/icons/hicolor/48x48/apps/keyfolio.png ./usr/share/keyfolio/locale/; do
  grep -qF " $f" <<<"$files" || fail "$(basename "$deb") lacks $f"
done
depends="$(dpkg-deb -f "$deb" Depends)"
for d in libqt6widgets6 libzip libpcre2-8 libxkbcommon0 xkb-data qt6-qpa-plugins; do
  grep -q "$d" <<<"$depends" || fail "$(basename "$deb") does not depend on $d (Depends: $depends)"
done
echo "$(basename "$deb"): Depends: $depends"
