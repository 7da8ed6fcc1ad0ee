#!/bin/sh
# bench_smoke: runs every workload once with a tiny frame count, in C and
# under both Lua hosts, and checks that each run finishes, reports, and draws
# exactly what the C program draws (same screen hash; for arrays the same
# packed block). It never looks at a time.
#   smoke.sh LUA51 LUAJIT      (ORVIX_BUILD names the build tree)
set -u
LUA51=$1
LUAJIT=$2
src=$(cd "$(dirname "$0")/.." && pwd)
build=${ORVIX_BUILD:?ORVIX_BUILD must name the build tree}
. "$src/bench/env.sh"

if [ "${ORVIX_SANITIZE:-0}" = 1 ]; then
  # An instrumented module in an uninstrumented host: the runtime goes first.
  # The C programs are not instrumented and run as they are.
  SAN_PRELOAD="$(gcc -print-file-name=libasan.so) $(gcc -print-file-name=libubsan.so)"
  export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1:detect_odr_violation=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
else
  SAN_PRELOAD=
fi

failures=0
checks=0
out=$(mktemp)
trap 'rm -f "$out"' EXIT

# run WORKLOAD HOST FRAMES: runs one workload, leaves its result line in $line.
run() {
  bench_command "$1" "$2" "$3" 0
  checks=$((checks + 1))
  case $2 in
    c) $BENCH_CMD >"$out" 2>&1 ;;
    *) env LD_PRELOAD="$SAN_PRELOAD" $BENCH_CMD >"$out" 2>&1 ;;
  esac
  status=$?
  line=$(grep '^result ' "$out")
  if [ $status != 0 ] || [ -z "$line" ]; then
    echo "FAIL $1 $2: exit status $status, output:"
    cat "$out"
    failures=$((failures + 1))
    line=
    return 1
  fi
  echo "ok   $1 $2: $line"
}

field() { printf '%s\n' "$1" | tr ' ' '\n' | sed -n "s/^$2=//p"; }

same_hash() {
  checks=$((checks + 1))
  if [ "$2" != "$3" ]; then
    echo "FAIL $1: the Lua run drew $3, the C program $2"
    failures=$((failures + 1))
  fi
}

for w in sprites pixels text hud shapes cells80x25 cells160x50 recolour80x25 arrays tiles rotozoom measure; do
  frames=2
  # Texts and glyphs are kept from their second drawing on: the third frame
  # draws from the caches.
  case $w in hud | cells*) frames=3 ;; esac
  run $w c $frames && ref=$(field "$line" hash) || ref=missing
  for host in lua5.1 luajit; do
    run $w $host $frames && same_hash "$w $host" "$ref" "$(field "$line" hash)"
  done
done

# The floor draws nothing; both hosts must agree on that empty screen.
run pixels lua5.1-floor 2 && floor=$(field "$line" hash)
run pixels luajit-floor 2 && same_hash "pixels floor" "${floor:-missing}" "$(field "$line" hash)"

# Pacing: a fraction of a second, and some calls must have been made.
for host in c lua5.1 luajit; do
  bench_command pacing $host 0.3 0.1
  checks=$((checks + 1))
  if [ $host = c ]; then $BENCH_CMD >"$out" 2>&1; else env LD_PRELOAD="$SAN_PRELOAD" $BENCH_CMD >"$out" 2>&1; fi
  status=$?
  line=$(grep '^result ' "$out")
  calls=$(field "$line" calls)
  if [ $status != 0 ] || [ -z "$calls" ] || [ "$calls" -lt 1 ]; then
    echo "FAIL pacing $host: exit status $status, output:"
    cat "$out"
    failures=$((failures + 1))
  else
    echo "ok   pacing $host: $line"
  fi
done

echo "$((checks - failures)) passed, $failures failed"
[ $failures = 0 ]
