#!/bin/sh
# Runs the fuzz driver: run_fuzz.sh HOST MODE AUDIO CALLS
# AUDIO is on (disk driver, output discarded) or off (a driver that does not
# exist, so the mixer cannot open). The seed is ORVIX_FUZZ_SEED, or today's
# date, and is printed first so that a failing run can be repeated.
set -e
host=$1
mode=$2
audio=$3
calls=$4
. "$(dirname "$0")/../env.sh"
if [ "$mode" = gl ]; then export SDL_VIDEODRIVER=x11; else export SDL_VIDEODRIVER=dummy; fi
if [ "$audio" = on ]; then
  export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null SDL_DISKAUDIODELAY=0
else
  export SDL_AUDIODRIVER=none_such_driver
fi
seed=${ORVIX_FUZZ_SEED:-$(date +%Y%m%d)}
echo "fuzz seed $seed (repeat with ORVIX_FUZZ_SEED=$seed)"
out=$("$host" "$(dirname "$0")/fuzz.lua" "$mode" "$seed" "$calls" 2>&1) && status=0 || status=$?
printf '%s\n' "$out"
if [ "$status" != 0 ]; then
  echo "fuzz run ended with status $status"
  exit 1
fi
printf '%s\n' "$out" | grep -q "^fuzz: done" || { echo "fuzz run did not finish"; exit 1; }
