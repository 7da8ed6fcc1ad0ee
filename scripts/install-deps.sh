#!/bin/sh
# Installs the Debian 12 packages needed to build, run and test the runtime.
# Safe to run again: apt-get skips what is already there. Run as root (or with sudo).
set -e

PACKAGES="
  build-essential cmake pkg-config git
  libsdl1.2-dev libsdl-image1.2-dev libsdl-ttf2.0-dev libsdl-gfx1.2-dev libsdl-mixer1.2-dev
  libsdl1.2-compat
  libgl-dev libgl1-mesa-dri
  libpng-dev libflac-dev libfreetype-dev
  liblua5.1-0-dev lua5.1 luajit lua-busted luarocks
  libgtest-dev
  xvfb xauth xdotool x11-apps imagemagick
  fonts-dejavu-core xfonts-utils
  sox libsox-fmt-base
  valgrind
"

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done

if [ -n "$missing" ]; then
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  # shellcheck disable=SC2086
  $SUDO apt-get install -y -qq --no-install-recommends $missing
fi
