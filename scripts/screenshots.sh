#!/bin/sh
# Runs examples for a few seconds each, feeds them key presses and mouse
# clicks with xdotool, and saves a screenshot of each window as OUTDIR/NAME.png.
#
#   sh scripts/screenshots.sh [OUTDIR [NAME...]]
#
# OUTDIR defaults to docs/img; the names are arcade, caverun, roguelike,
# gl_spin, web and windows (all six by default; gl_spin only when
# examples/gl_spin.lua is there). web is the arcade in headless Chromium
# (scripts/web.sh builds it), windows the arcade's zip under Wine
# (scripts/windows.sh builds it), in a desktop of Wine's own whose window
# frames Wine draws as Windows does.
# The modules must be built already: BUILD names the build directory (default
# build) and LUA the host (default lua5.1; gl_spin, which calls OpenGL through
# LuaJIT's FFI, always runs under luajit). Without a DISPLAY a virtual X
# server is started for the run and stopped afterwards. Sound goes through
# SDL's disk audio driver into /dev/null, so nothing is heard. ORVIX_SEED
# (default 3) makes the runs, and so the pictures, the same every time.
set -e
cd "$(dirname "$0")/.."
out=${1:-docs/img}
if [ $# -gt 0 ]; then shift; fi
names=${*:-arcade caverun roguelike gl_spin web windows}
BUILD=${BUILD:-build}
LUA=${LUA:-lua5.1}
CONVERT=/usr/bin/convert

mkdir -p "$out"
state=$(mktemp -d)
server=""
cleanup() {
  if [ -d "$state/wine" ]; then WINEPREFIX="$state/wine" wineserver -k 2>/dev/null || true; fi
  if [ -n "$server" ]; then sh tests/xvfb.sh stop "$state/xvfb"; fi
  rm -rf "$state"
}
trap cleanup EXIT INT TERM

if [ -z "$DISPLAY" ]; then
  sh tests/xvfb.sh start "$state/xvfb" >/dev/null
  server=yes
  DISPLAY=$(cat "$state/xvfb/display")
  export DISPLAY
fi

# find_window NAME PID LOG: waits up to 10 s for the game's window, found by
# its class, which SDL takes from the host's name ($host). Sets WINDOW, X, Y,
# WIDTH and HEIGHT, and puts the pointer in the window's centre: with no
# window manager the keyboard focus follows the pointer.
find_window() {
  i=0
  geometry=""
  while [ -z "$geometry" ]; do
    if [ $i -gt 100 ] || ! kill -0 "$2" 2>/dev/null; then
      echo "$1 opened no window:" >&2
      cat "$3" >&2
      return 1
    fi
    sleep 0.1
    i=$((i + 1))
    # SDL may replace a window while it sets the mode up (OpenGL does), so
    # the first one found may be gone by the time it is asked for its size.
    WINDOW=$(xdotool search --onlyvisible --class "$(basename "$host")" 2>/dev/null | tail -n 1)
    [ -n "$WINDOW" ] || continue
    sleep 0.3
    geometry=$(xdotool getwindowgeometry --shell "$WINDOW" 2>/dev/null) || geometry=""
  done
  eval "$geometry"
  xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
  sleep 0.5  # the first frames
}

hold() {  # hold KEY SECONDS
  xdotool keydown "$1"
  sleep "$2"
  xdotool keyup "$1"
}

# What is played in each example before its screenshot.
play_arcade() {
  hold Left 0.5
  hold space 0.8
  xdotool mousemove $((X + WIDTH / 2 + 150)) $((Y + HEIGHT / 2 - 120))
  for _ in 1 2 3 4; do xdotool click 1; sleep 0.15; done
  xdotool key minus minus
  xdotool keydown Right keydown space
  sleep 0.6
  xdotool keyup Right keyup space
  xdotool mousemove $((X + WIDTH / 2 - 120)) $((Y + HEIGHT / 2 - 160))
  sleep 0.3
  xdotool click 1
  sleep 0.1
}

play_caverun() {
  # From the title into the level: run right over the first coins and jump
  # the first pit; the picture is taken in the air above its spikes.
  xdotool key Return
  sleep 0.3
  xdotool keydown Right
  sleep 1.15
  xdotool key Up
  sleep 0.3
  xdotool keyup Right
}

play_roguelike() {
  for k in Right Right Down Left; do
    xdotool key "$k"
    sleep 0.12
  done
  hold x 5  # auto-explore
  sleep 0.2
}

play_gl_spin() {
  sleep 1.5
}

# shoot NAME HOST FRAMES SCRIPT [ARG...]: runs one example, plays it, saves
# its window and ends it with Escape. FRAMES only caps a run that Escape
# fails to end.
shoot() {
  name=$1
  host=$2
  frames=$3
  shift 3
  log="$state/$name.log"
  ORVIX_FRAMES=$frames ORVIX_SEED=${ORVIX_SEED:-3} SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null \
    LUA_CPATH="$BUILD/?.so;;" "$host" "$@" >"$log" 2>&1 &
  pid=$!
  find_window "$name" "$pid" "$log"
  "play_$name"
  xwd -silent -id "$WINDOW" >"$state/$name.xwd"
  xdotool key Escape
  wait "$pid" || { echo "$name failed:" >&2; cat "$log" >&2; return 1; }
  # Small files for the repository: no metadata, best compression.
  "$CONVERT" "xwd:$state/$name.xwd" -strip -define png:compression-level=9 "$out/$name.png"
  echo "$out/$name.png (${WIDTH}x${HEIGHT})"
}

for name in $names; do
  case "$name" in
  arcade) shoot arcade "$LUA" 3000 examples/arcade/arcade.lua "$BUILD/examples/arcade" ;;
  caverun)
    # Its high scores go to a folder of the run's own.
    XDG_DATA_HOME="$state/data" shoot caverun "$LUA" 3000 examples/caverun/caverun.lua "$BUILD/examples/caverun"
    ;;
  roguelike) shoot roguelike "$LUA" 1500 examples/roguelike.lua ;;
  gl_spin)
    if [ -f examples/gl_spin.lua ]; then
      shoot gl_spin luajit 600 examples/gl_spin.lua
    else
      echo "examples/gl_spin.lua not there: skipped"
    fi
    ;;
  web)
    WEB_OUT="$state/site" sh scripts/web.sh examples/arcade "$BUILD/examples/arcade" >/dev/null
    node tests/browser/screenshot.js "$state/site" "$state/web.png"
    "$CONVERT" "$state/web.png" -strip -define png:compression-level=9 "$out/web.png"
    echo "$out/web.png"
    ;;
  windows)
    WINDOWS_OUT="$state/arcade.zip" sh scripts/windows.sh examples/arcade "$BUILD/examples/arcade" >/dev/null
    unzip -q "$state/arcade.zip" -d "$state/win"
    log="$state/windows.log"
    (cd "$state/win/arcade" && WINEPREFIX="$state/wine" WINEDEBUG=-all \
      WINEDLLOVERRIDES="winealsa.drv,winepulse.drv,mscoree,mshtml=d" ORVIX_FRAMES=3000 ORVIX_SEED=${ORVIX_SEED:-3} \
      SDL_VIDEODRIVER=windib SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=nul SDL_VIDEO_CENTERED=1 \
      wine explorer /desktop=Arcade,680x540 arcade.exe) >"$log" 2>&1 &
    pid=$!
    host=explorer.exe
    find_window windows "$pid" "$log"
    sleep 3  # Wine's first start in a new prefix, then the game's
    xdotool windowfocus "$WINDOW"
    hold Left 0.5
    hold space 0.8
    xdotool key minus minus
    xdotool keydown Right keydown space
    sleep 0.6
    xdotool keyup Right keyup space
    xwd -silent -id "$WINDOW" >"$state/windows.xwd"
    xdotool key Escape
    wait "$pid" || true
    "$CONVERT" "xwd:$state/windows.xwd" -strip -define png:compression-level=9 "$out/windows.png"
    echo "$out/windows.png (${WIDTH}x${HEIGHT})"
    ;;
  *) echo "unknown example: $name" >&2; exit 2 ;;
  esac
done
