# Environment shared by bench/run.sh and bench/smoke.sh; sourced with $src
# (the source tree), $build (the build tree), $LUA51 and $LUAJIT set.
# Commands are built as plain words, so neither tree may have a space in its path.
case "$src$build" in
  *" "*) echo "bench: the source and build paths may not contain spaces" >&2; exit 2 ;;
esac

BENCH_ASSETS=$build/bench/assets
LUA_CPATH="$build/?.so;$build/bench/?.so"
LUA_PATH="$src/bench/lua/?.lua"
# No window and no sound card: the dummy video driver, and the mixer writing
# to /dev/null, as in the tests. Set here, never inherited.
SDL_VIDEODRIVER=dummy
SDL_AUDIODRIVER=disk
SDL_DISKAUDIOFILE=/dev/null
# pygame, when it runs as a peer, greets on standard output otherwise.
PYGAME_HIDE_SUPPORT_PROMPT=1
export BENCH_ASSETS LUA_CPATH LUA_PATH SDL_VIDEODRIVER SDL_AUDIODRIVER SDL_DISKAUDIOFILE PYGAME_HIDE_SUPPORT_PROMPT

# bench_command WORKLOAD HOST FRAMES WARMUP sets BENCH_CMD to the command
# that runs one workload on one host. HOST is c, lua5.1, luajit, lua5.1-floor
# or luajit-floor (pixels only), lua5.1-before or luajit-before (the same
# script on the orvixcore.so in $BENCH_BEFORE, an earlier revision of the
# module), or pygame (PYGAME_PYTHON names its Python).
bench_command() {
  LUA_CPATH="$build/?.so;$build/bench/?.so"
  base=$1 extra=
  case $1 in
    cells80x25) base=cells extra="80 25" ;;
    cells160x50) base=cells extra="160 50" ;;
    recolour80x25) base=cells extra="80 25 recolour" ;;
  esac
  case $2 in
    c) cmd="$build/bench/bench_$base" ;;
    lua5.1) cmd="$LUA51 $src/bench/lua/$base.lua" ;;
    luajit) cmd="$LUAJIT $src/bench/lua/$base.lua" ;;
    lua5.1-floor) cmd="$LUA51 $src/bench/lua/$base.lua" extra=floor ;;
    luajit-floor) cmd="$LUAJIT $src/bench/lua/$base.lua" extra=floor ;;
    lua5.1-before) cmd="$LUA51 $src/bench/lua/$base.lua" LUA_CPATH="$BENCH_BEFORE/?.so;$LUA_CPATH" ;;
    luajit-before) cmd="$LUAJIT $src/bench/lua/$base.lua" LUA_CPATH="$BENCH_BEFORE/?.so;$LUA_CPATH" ;;
    pygame) cmd="$PYGAME_PYTHON $src/bench/pygame/$base.py" ;;
    *) echo "bench: unknown host $2" >&2; exit 2 ;;
  esac
  BENCH_CMD="$cmd $3 $4 $extra"
}
