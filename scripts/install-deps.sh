#!/bin/sh
# Installs the Debian 12 packages needed to build, run and test the runtime.
# Safe to run again: apt-get skips what is already there. Run as root (or with sudo).
set -e

PACKAGES="
  build-essential cmake pkg-config git
  libsdl1.2-dev libsdl-image1.2-dev libsdl-ttf2.0-dev libsdl-gfx1.2-dev libsdl-mixer1.2-dev
  libsdl1.2-compat
  libgl-dev libgl1-mesa-dri
  libpng-dev libflac-dev libfreetype-dev libjpeg62-turbo-dev libwebp-dev
  liblua5.1-0-dev lua5.1 luajit lua-busted luarocks
  libgtest-dev
  xvfb xauth xdotool x11-apps imagemagick
  fonts-dejavu-core fonts-urw-base35 xfonts-utils
  sox libsox-fmt-base
  valgrind gdb
  emscripten chromium dpkg-dev
  mingw-w64 nasm wine wine64 unzip
"
# Node.js may come from elsewhere with npm bundled (Debian's npm package then
# conflicts with it): ask for Debian's only when the commands are missing.
command -v node >/dev/null 2>&1 || PACKAGES="$PACKAGES nodejs"
command -v npm >/dev/null 2>&1 || PACKAGES="$PACKAGES npm"

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

# The browser and Windows builds compile libraries from Debian's source
# packages (scripts/fetch-sources.sh fetches them with apt-get source), which
# needs deb-src lines for the same archive as the binary packages.
if ! grep -rqsE '^(deb-src |Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  src=/etc/apt/sources.list.d/orvix-deb-src.sources
  {
    # Debian 12 keeps its own archive in debian.sources (deb822 format).
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources
    fi
    if [ -f /etc/apt/sources.list ]; then
      sed -n 's/^deb \(.*debian.*\)$/deb-src \1/p' /etc/apt/sources.list
    fi
  } | $SUDO tee "$src.new" >/dev/null
  # Only the lines of Debian's own archive: other repositories may have no sources.
  if grep -qE '^(Types: deb-src|deb-src )' "$src.new"; then
    $SUDO mv "$src.new" "$src"
    $SUDO apt-get update -qq
  else
    $SUDO rm -f "$src.new"
  fi
fi

# The browser tests drive Debian's Chromium with puppeteer-core (which never
# downloads a browser of its own), installed from the committed lock file
# into tests/browser/node_modules.
browser_tests=$(cd "$(dirname "$0")/.." && pwd)/tests/browser
if [ ! -f "$browser_tests/node_modules/.package-lock.json" ] ||
  [ "$browser_tests/package-lock.json" -nt "$browser_tests/node_modules/.package-lock.json" ]; then
  (cd "$browser_tests" && npm ci --no-audit --no-fund --loglevel=error)
fi
