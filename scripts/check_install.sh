#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks what a desktop user
# gets: the program and its libraries in bin and lib, a program that starts
# from there (moved elsewhere) with its own
# libraries rather than the build's, the desktop entry and the icons in the
# XDG places, and an entry that desktop-file-validate accepts.
# Usage: check_install.sh BUILD_DIR
set -euo pipefail
BUILD=${1:?usage: check_install.sh BUILD_DIR}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
PREFIX=$WORK/prefix

cmake --install "$BUILD" --prefix "$PREFIX" >/dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }

for f in bin/velmora lib/libvelmora_engine.so lib/libvelmora_widgets.so \
         share/applications/velmora.desktop \
         share/icons/hicolor/256x256/apps/velmora.png \
         share/icons/hicolor/scalable/apps/velmora.svg; do
  [ -f "$PREFIX/$f" ] || fail "$f is not installed"
done
file -b "$PREFIX/share/icons/hicolor/256x256/apps/velmora.png" | grep -q '256 x 256' \
  || fail "the 256x256 icon is not 256 by 256"

# The desktop entry starts the installed program by name and shows the
# installed icon.
entry=$PREFIX/share/applications/velmora.desktop
grep -qx 'Exec=velmora' "$entry" || fail "Exec is not the installed program"
grep -qx 'Icon=velmora' "$entry" || fail "Icon is not the installed icon's name"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$entry" || fail "desktop-file-validate rejects the entry"
else
  echo "desktop-file-validate is not installed: entry not validated"
fi

# Moved elsewhere, the installed tree still runs on the libraries beside the
# program, never on the build's.
root=$WORK/moved
mv "$PREFIX" "$root"
libs=$(env -u LD_LIBRARY_PATH ldd "$root/bin/velmora" | grep velmora || true)
echo "$libs" | grep -q "libvelmora_widgets.so => $root/" || fail "widgets library not found in $root: $libs"
echo "$libs" | grep -q "libvelmora_engine.so => $root/" || fail "engine library not found in $root: $libs"
version=$(env -u LD_LIBRARY_PATH "$root/bin/velmora" --version)
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "installed velmora --version gave: $version"
out=$(env -u LD_LIBRARY_PATH VELMORA_HOME="$WORK/home" "$root/bin/velmora" sniff \
      "$root/share/icons/hicolor/256x256/apps/velmora.png")
case "$out" in png*) ;; *) fail "installed velmora sniff gave: $out" ;; esac
echo "install tree: ok"
