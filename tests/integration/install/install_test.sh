#!/usr/bin/env bash
# What lands where, for the two ways of installing:
#   install_test.sh tree SOURCE BUILD  `cmake --install` into a DESTDIR with the
#     prefixes /usr, /usr/local and ~/.local, then scripts/uninstall.sh
#   install_test.sh package SOURCE     the Debian package: its paths and lintian
# Exits 77 (skipped) where the packaging tools are missing.
set -euo pipefail
mode=$1 source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# check_tree ROOT PREFIX SYSCONFDIR UNITDIR: the files a user meets, each in
# the folder the desktop, man or systemd reads, and nothing outside those.
check_tree() {
  local root=$1 prefix=$2 sysconf=$3 unitdir=$4 path
  for path in bin/orbalenstatus{,-defaults,-query}; do
    [ -x "$root$prefix/$path" ] || fail "$prefix: no program $prefix/$path"
  done
  for path in share/applications/com.kestrune.OrbalenStatus.desktop \
    share/metainfo/com.kestrune.OrbalenStatus.metainfo.xml \
    share/icons/hicolor/scalable/apps/orbalenstatus-panel.svg \
    share/icons/hicolor/22x22/apps/orbalenstatus-change.png \
    "share/orbalenstatus/sounds/Mail Sent.wav" share/man/man1/orbalenstatus{,-defaults,-query}.1 \
    share/gnome-shell/extensions/orbalenstatus@kestrune.com/metadata.json \
    share/plasma/plasmoids/com.kestrune.orbalenstatus/metadata.json; do
    compgen -G "$root$prefix/${path// /?}*" >/dev/null || fail "$prefix: no $prefix/$path"
  done
  [ -f "$root$sysconf/xdg/autostart/com.kestrune.OrbalenStatus.desktop" ] ||
    fail "$prefix: no autostart entry in $sysconf/xdg/autostart"
  local unit="$root$unitdir/orbalenstatus.service"
  grep -qx "ExecStart=$prefix/bin/orbalenstatus --headless --standby" "$unit" ||
    fail "$prefix: no user unit in $unitdir starting the program"
  local stray
  stray=$(cd "$root" && find . -type f | sed 's/^\.//' |
    grep -v -e "^$prefix/" -e "^$sysconf/" -e "^$unitdir/" || true)
  [ -z "$stray" ] || fail "$prefix: files outside its folders: $stray"
}

install_tree() {
  local build=$3 home="$work/home" n=0 prefix dest
  mkdir -p "$home"
  # Each row: prefix, its configuration folder, its systemd user unit folder.
  while read -r prefix sysconf unitdir; do
    n=$((n + 1))
    dest="$work/dest$n"
    # A component of its own keeps the user's build/install_manifest.txt
    # (what scripts/uninstall.sh removes) as it was.
    if ! HOME=$home DESTDIR=$dest cmake --install "$build" --prefix "$prefix" \
      --component Unspecified >"$work/log" 2>&1; then
      cat "$work/log"
      fail "$prefix: cmake --install failed"
    fi
    check_tree "$dest" "$prefix" "$sysconf" "$unitdir"
  done <<ROWS
/usr /etc /usr/lib/systemd/user
/usr/local /usr/local/etc /usr/local/share/systemd/user
$home/.local $home/.local/etc $home/.local/share/systemd/user
ROWS
  # The user's own autostart folder is the preferences window's to write.
  [ ! -e "$home/.config" ] && [ ! -e "$dest$home/.config" ] ||
    fail "~/.local: something written to ~/.config"
  DESTDIR=$dest bash "$2/scripts/uninstall.sh" "$build/install_manifest_Unspecified.txt" >/dev/null
  local left
  left=$(find "$dest" -type f; find "$dest" -depth -type d -name orbalenstatus)
  [ -z "$left" ] || fail "left after uninstall: $left"
}

package() {
  local source=$2 deb start=$SECONDS tool
  for tool in dpkg-buildpackage dh lintian fakeroot; do
    command -v "$tool" >/dev/null || echo "$tool is missing (scripts/packages/package.txt has it)"
  done >"$work/deps"
  if [ -s "$work/deps" ] || ! (cd "$source" && dpkg-checkbuilddeps 2>"$work/deps"); then
    echo "skipped: $(cat "$work/deps")"
    exit 77
  fi
  deb=$(bash "$source/scripts/package.sh" --no-deps "$work/out")
  echo "package: built $(basename "$deb") in $((SECONDS - start)) s"
  dpkg-deb -x "$deb" "$work/root"
  check_tree "$work/root" /usr /etc /usr/lib/systemd/user
  [ -f "$work/root/usr/share/doc/orbalenstatus/copyright" ] ||
    fail "package: no copyright file"
  # Errors fail; warnings are shown, and the report lists the kept ones.
  lintian --fail-on error --info "$deb" || fail "lintian reports errors"
}

case $mode in
  tree) install_tree "$@" ;;
  package) package "$@" ;;
  *) echo "usage: $0 tree SOURCE BUILD | package SOURCE" >&2; exit 2 ;;
esac
if [ "$failures" -gt 0 ]; then
  echo "$failures failures"
  exit 1
fi
echo "all paths in place"
