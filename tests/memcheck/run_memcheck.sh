#!/bin/sh
# Runs a Lua script under valgrind's memcheck and checks the log:
#   run_memcheck.sh HOST VIDEODRIVER SCRIPT ARGS...
set -e
host=$1
video=$2
shift 2
. "$(dirname "$0")/../env.sh"
export SDL_VIDEODRIVER="$video" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null SDL_DISKAUDIODELAY=0
log=$(mktemp)
status=0
# --run-libc-freeres=no: by default valgrind has glibc release its own memory
# at exit, and glibc then unmaps every library the module pulled in (the
# module itself stays: it is linked -z nodelete). The blocks those libraries
# keep in their static memory, such as SDL_gfx's polygon buffer, would lose
# their last pointer ("definitely lost") and their stacks their names ("???"),
# and check_log.lua could no longer tell them from a block of ours. Without
# it the libraries stay mapped to the end, as in any run outside valgrind.
valgrind --tool=memcheck --leak-check=full --show-leak-kinds=all --num-callers=40 --run-libc-freeres=no \
  --log-file="$log" "$host" "$@" || status=$?
if [ "$status" != 0 ]; then
  echo "the script ended with status $status"
  tail -40 "$log"
  rm -f "$log"
  exit 1
fi
lua5.1 "$(dirname "$0")/check_log.lua" "$log" && rm -f "$log"
