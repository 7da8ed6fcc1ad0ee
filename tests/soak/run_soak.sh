#!/bin/sh
# Runs the memory soak: run_soak.sh HOST FRAMES MAX_GROWTH_KIB
set -e
host=$1
. "$(dirname "$0")/../env.sh"
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null SDL_DISKAUDIODELAY=0
exec "$host" "$(dirname "$0")/soak.lua" "$2" "$3"
