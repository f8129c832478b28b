#!/usr/bin/env bash
# `cmake --install` lays the files out as desktops expect, and the Debian
# package installs and removes cleanly (in a scratch root of dpkg's own, so
# the machine's package database is not touched). Exits 77 (skipped) only
# where dpkg cannot run.
#   install_test.sh BUILD_DIR APP_ID
set -euo pipefail
build=$1
id=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

expected=(
  bin/zrt-panel
  bin/zrt-sim
  bin/zrt-send
  bin/zrt-serve
  lib/udev/rules.d/70-zrt-panel.rules
  share/applications/$id.desktop
  share/metainfo/$id.metainfo.xml
  share/icons/hicolor/scalable/apps/$id.svg
  share/icons/hicolor/48x48/apps/$id.png
  share/icons/hicolor/128x128/apps/$id.png
  share/icons/hicolor/256x256/apps/$id.png
  share/man/man1/zrt-panel.1
  share/man/man1/zrt-sim.1
  share/man/man1/zrt-send.1
  share/man/man1/zrt-serve.1
  share/bash-completion/completions/zrt-send
  share/doc/zrt-panel/examples/step-frequency.zrt
  share/doc/zrt-panel/examples/sweep-setup.zrt
  share/doc/zrt-panel/examples/limits.ini
  share/doc/zrt-panel/examples/zrt-serve.service
  share/doc/zrt-panel/examples/zrt-serve@.service
  share/doc/zrt-panel/examples/avahi/zrt-serve.service
  share/doc/zrt-panel/copyright
  share/doc/zrt-panel/LICENSE
)
check_layout() {  # ROOT: every expected file is there, and nothing else
  local root=$1 missing=0
  for file in "${expected[@]}"; do
    [ -f "$root/$file" ] || { echo "missing: $file"; missing=1; }
  done
  local count
  count=$(find "$root" -type f | wc -l)
  [ "$count" -eq "${#expected[@]}" ] || { echo "$count files, expected ${#expected[@]}"; missing=1; }
  return $missing
}

cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
check_layout "$scratch/prefix"
echo "cmake --install: layout as expected"

if ! dpkg --version >/dev/null 2>&1; then
  echo "dpkg cannot run here: package not checked"
  exit 77
fi
(cd "$scratch" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >/dev/null)
deb=$(ls "$scratch"/out/*.deb)
root=$scratch/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
dpkg_root() {
  dpkg --root="$root" --admindir="$root/var/lib/dpkg" --instdir="$root" --force-not-root \
    --force-depends --force-script-chrootless --log=/dev/null "$@"
}
dpkg-deb -f "$deb" Depends | grep -q 'fonts-wqy-microhei' || { echo "no CJK font dependency"; exit 1; }
dpkg_root -i "$deb" >/dev/null 2>&1
[ "$(dpkg_root -s zrt-panel | sed -n 's/^Status: //p')" = "install ok installed" ]
check_layout "$root/usr" || { echo "package layout differs"; exit 1; }
"$root/usr/bin/zrt-panel" --version | grep -q '^zrt-panel '
"$root/usr/bin/zrt-send" --help | grep -q '^usage: zrt-send'
"$root/usr/bin/zrt-serve" --help | grep -q '^usage: zrt-serve'
bash -c "source '$root/usr/share/bash-completion/completions/zrt-send' && complete -p zrt-send" >/dev/null
dpkg_root -r zrt-panel >/dev/null 2>&1
left=$(find "$root" -type f ! -path "$root/var/*" | wc -l)
[ "$left" -eq 0 ] || { echo "removal left $left files"; exit 1; }
echo "Debian package: installs and removes cleanly"
