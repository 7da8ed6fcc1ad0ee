#!/bin/sh
# Runs the fuzz driver: run_fuzz.sh HOST MODE AUDIO CALLS
# AUDIO is on (disk driver, output discarded) or off (a driver that does not
# exist, so the mixer cannot open). The seed is ORVIX_FUZZ_SEED, or today's
# date, and is printed first so that a failing run can be repeated.
# A run still going after its time limit prints the stack of each of its
# threads and is killed (tests/watchdog.sh): 240 s per 20,000 calls, or
# ORVIX_FUZZ_LIMIT seconds. The slowest run measured, the sanitizer build on
# sdl12-compat with the 2-core machine at a load of 15, took 36 s for 20,000.
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
limit=${ORVIX_FUZZ_LIMIT:-$(((calls + 19999) / 20000 * 240))}
echo "fuzz seed $seed (repeat with ORVIX_FUZZ_SEED=$seed)"
out=$(sh "$(dirname "$0")/../watchdog.sh" "$limit" \
  "$host" "$(dirname "$0")/fuzz.lua" "$mode" "$seed" "$calls" 2>&1) && status=0 || status=$?
printf '%s\n' "$out"
if [ "$status" != 0 ]; then
  echo "fuzz run ended with status $status"
  exit 1
fi
printf '%s\n' "$out" | grep -q "^fuzz: done" || { echo "fuzz run did not finish"; exit 1; }
