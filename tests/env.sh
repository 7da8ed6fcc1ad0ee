# Environment shared by every Lua-level test; sourced by the runners.
# Needs ORVIX_BUILD and ORVIX_SOURCE (set by CTest) and the host in $host.
if [ -f "$ORVIX_BUILD/xvfb/display" ]; then
  DISPLAY=$(cat "$ORVIX_BUILD/xvfb/display")
  export DISPLAY
fi
ORVIX_LUA=$host
export ORVIX_LUA
LUA_CPATH="$ORVIX_BUILD/?.so;$ORVIX_BUILD/tests/?.so;;"
LUA_PATH="$ORVIX_SOURCE/tests/?.lua;;"
export LUA_CPATH LUA_PATH
# Tests choose their own drivers; nothing may fall back to a terminal driver.
export SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-dummy}"
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-disk}"
export SDL_DISKAUDIOFILE="${SDL_DISKAUDIOFILE:-/dev/null}"
# Windows at the top-left corner, where the tests read the screen and point:
# classic SDL puts them there, sdl12-compat centres them unless told.
export SDL_VIDEO_WINDOW_POS="${SDL_VIDEO_WINDOW_POS:-0,0}"
# OpenGL is Mesa's llvmpipe, made to rasterize on the thread that draws. With
# rasterizer threads, Mesa 22.3 can free a fence that a rasterizer thread is
# still signalling (the drawing thread sees the fence done without taking its
# lock and drops it): a write into freed memory, which corrupts the heap or
# hangs a later buffer swap. OpenGL fuzz runs on sdl12-compat hit it (see
# docs/headless.md). Set LP_NUM_THREADS to have the threads back.
export LP_NUM_THREADS="${LP_NUM_THREADS:-0}"
if [ "$ORVIX_SANITIZE" = 1 ]; then
  # The hosts are not instrumented: the sanitizer runtimes come first in the process.
  LD_PRELOAD="$(gcc -print-file-name=libasan.so) $(gcc -print-file-name=libubsan.so)"
  export LD_PRELOAD
  export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1:detect_odr_violation=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi
