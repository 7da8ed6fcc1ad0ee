#!/bin/sh
# The demo: installs what is missing, builds the modules and the arcade
# example's assets, and starts the arcade game under lua5.1.
#
#   sh scripts/demo.sh
#
# With a display the game opens in a window; play until Escape. Without one
# (a server, a container, CI) it plays for a few seconds on a virtual X server,
# with xdotool pressing the keys, and saves screenshots/arcade.png.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake -S . -B build -DORVIX_EXAMPLES=ON >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)"

if [ -n "$DISPLAY" ]; then
  echo "Star Rocks: arrows or WASD move, Space or the left mouse button fires,"
  echo "P pauses the music, + and - set its volume, Escape quits."
  LUA_CPATH="build/?.so;;" exec lua5.1 examples/arcade/arcade.lua build/examples/arcade
fi

echo "No display: playing the arcade game for a few seconds on a virtual X server."
BUILD=build LUA=lua5.1 sh scripts/screenshots.sh screenshots arcade
echo "The game ran and quit normally; its screenshot is screenshots/arcade.png."
