#!/bin/sh
# The long fuzz run: CALLS random calls (default 200000) in each display mode,
# with and without audio, under both Lua hosts, against the sanitizer build.
# Six runs per host at the default make 1,200,000 calls per host.
#   scripts/fuzz-long.sh [CALLS]
set -e
cd "$(dirname "$0")/.."
calls=${1:-200000}
sh scripts/install-deps.sh
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DORVIX_SANITIZE=ON -DBUILD_TESTING=ON >/dev/null
cmake --build build-asan -j"$(nproc)"

export ORVIX_BUILD="$PWD/build-asan" ORVIX_SOURCE="$PWD" ORVIX_ASSETS="$PWD/build-asan/assets" ORVIX_SANITIZE=1
state=$(mktemp -d)
sh tests/xvfb.sh start "$state" >/dev/null
mkdir -p "$ORVIX_BUILD/xvfb"
cp "$state/display" "$ORVIX_BUILD/xvfb/display"
trap 'sh tests/xvfb.sh stop "$state"; rm -f "$ORVIX_BUILD/xvfb/display"' EXIT

failed=0
for host in lua5.1 luajit; do
  for mode in pixel cells gl; do
    for audio in on off; do
      start=$(date +%s)
      if out=$(sh tests/fuzz/run_fuzz.sh "$host" "$mode" "$audio" "$calls" 2>&1); then
        result=ok
      else
        result=FAILED
        failed=1
        printf '%s\n' "$out" | tail -30
      fi
      seed=$(printf '%s\n' "$out" | sed -n 's/^fuzz seed \([0-9]*\).*/\1/p')
      printf '%-7s %-6s audio-%-3s calls=%s seed=%s %ss %s\n' "$host" "$mode" "$audio" "$calls" "$seed" \
        "$(($(date +%s) - start))" "$result"
    done
  done
done
exit $failed
