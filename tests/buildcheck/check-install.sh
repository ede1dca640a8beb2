#!/usr/bin/env bash
# check-install.sh BUILD-DIR VERSION DATA-DIR-FROM-BIN APP-ID
# Installs the build into a temporary prefix, checks that every file a desktop
# looks for is in place, and starts both installed programs: keyfolio-tool
# with --help and --version, the GUI offscreen with --quit-after-start.
set -euo pipefail
build="$1" version="$2" data_from_bin="$3" app_id="$4"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
prefix="$tmp/prefix"
cmake --install "$build" --prefix "$prefix" >"$tmp/install.log"

fail() { echo "FAIL: $*"; exit 1; }
need() { [ -e "$prefix/$1" ] || fail "not installed: $1"; }

need bin/keyfolio
need bin/keyfolio-tool
share="$prefix/bin/$data_from_bin"
[ -f "$share/help/index.html" ] || fail "the help page is not where the program looks: $share/help/index.html"
ls "$share/help/images/"*.png >/dev/null 2>&1 || fail "no pictures beside the help page"
[ -d "$share/locale" ] || fail "no catalogue folder where the program looks: $share/locale"
desktop="share/applications/$app_id.desktop"
need "$desktop"
need "share/metainfo/$app_id.metainfo.xml"

# The desktop entry starts an installed program and names an installed icon.
exec_name="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$prefix/$desktop")"
[ -x "$prefix/bin/$exec_name" ] || fail "Exec=$exec_name is not an installed program"
icon="$(sed -n 's/^Icon=//p' "$prefix/$desktop")"
for size in 16 32 48 64; do
  need "share/icons/hicolor/${size}x${size}/apps/$icon.png"
done
grep -q "<release version=\"$version\"" "$prefix/share/metainfo/$app_id.metainfo.xml" \
  || fail "the AppStream release is not version $version"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net --explain "$prefix/share/metainfo/$app_id.metainfo.xml" \
    || fail "appstreamcli rejects the metainfo file"
fi
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/$desktop" || fail "desktop-file-validate rejects the desktop entry"
fi

# The installed programs start.
"$prefix/bin/keyfolio-tool" --help >"$tmp/help.txt" || fail "keyfolio-tool --help failed"
grep -q "package" "$tmp/help.txt" || fail "keyfolio-tool --help lists no commands"
got="$("$prefix/bin/keyfolio-tool" --version)"
[ "$got" = "keyfolio-tool $version" ] || fail "keyfolio-tool --version says '$got', not version $version"
QT_QPA_PLATFORM=offscreen timeout 120 "$prefix/bin/keyfolio" --quit-after-start \
  || fail "the installed GUI did not start and end (status $?)"
echo "Installed and started from $prefix"
