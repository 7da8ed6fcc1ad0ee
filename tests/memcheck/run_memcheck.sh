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
valgrind --tool=memcheck --leak-check=full --show-leak-kinds=all --num-callers=40 \
  --log-file="$log" "$host" "$@" || status=$?
if [ "$status" != 0 ]; then
  echo "the script ended with status $status"
  tail -40 "$log"
  rm -f "$log"
  exit 1
fi
lua5.1 "$(dirname "$0")/check_log.lua" "$log" && rm -f "$log"
