#!/bin/sh
# Runs every benchmark and reports the cost of the runtime against the limit,
# the same SDL calls made from C.
#
#   bench/run.sh
#
# Builds BENCH_BUILD (default build-bench, configured as a Release build when
# it does not exist yet), then:
#   1. times each workload in C, under lua5.1 and under luajit (and pygame,
#      when python3-pygame is installed), BENCH_RUNS runs each (default 5),
#      interleaved so that a slow spell of the machine hits all alike;
#   2. counts the instructions of one frame with callgrind: a run of N frames
#      and one of 2N, whose difference leaves out start-up and shut-down;
#   3. counts the same for the workloads the glyph and text caches change
#      under both Lua hosts with orvixcore built from BENCH_BEFORE_REV (default:
#      the last revision without the caches), in BENCH_BUILD/before;
#   4. runs the frame timer for 5 s at 60 frames per second, twice per host;
#   5. prints the table, writes it into docs/performance.md and draws the
#      ratios into docs/img/bench_ratios.png.
# BENCH_DOCS=0 prints the table only and leaves docs/ alone; BENCH_ONLY="w1 w2"
# runs only the workloads named (pacing is one of them).
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD:-$src/build-bench}
runs=${BENCH_RUNS:-5}
LUA51=$(command -v lua5.1)
LUAJIT=$(command -v luajit)
CONVERT=/usr/bin/convert
PYGAME_PYTHON=${PYGAME_PYTHON:-/usr/bin/python3}
. "$src/bench/env.sh"
for tool in valgrind cmake "$CONVERT"; do
  command -v "$tool" >/dev/null || { echo "bench: $tool is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
done

# Workloads as name:timed frames:callgrind frames (N; the second run has 2N).
WORKLOADS="sprites:200:4 pixels:100:4 text:300:4 hud:300:4 shapes:60:2 cells80x25:200:4 cells160x50:40:2
recolour80x25:100:2 arrays:60:4 tiles:200:4 rotozoom:100:2 measure:300:4"
WARMUP=5
# The workloads measured on the module before the caches as well.
BEFORE_WORKLOADS="text hud cells80x25 cells160x50 recolour80x25"
BEFORE_REV=${BENCH_BEFORE_REV:-276f297af6c770c05034bbe67766bf1ec31c1e0e}
BENCH_BEFORE=$build/before
export BENCH_BEFORE
if [ -n "${BENCH_ONLY:-}" ]; then
  kept=
  for entry in $WORKLOADS; do
    case " $BENCH_ONLY " in *" ${entry%%:*} "*) kept="$kept $entry" ;; esac
  done
  WORKLOADS=$kept
fi

field() { printf '%s\n' "$1" | tr ' ' '\n' | sed -n "s/^$2=//p"; }

# Main-thread instructions of one command under callgrind. The mixer's
# thread runs on its own clock, so it is counted apart and left out.
instructions() {
  dir=$(mktemp -d)
  valgrind --tool=callgrind --separate-threads=yes --callgrind-out-file="$dir/cg.%p" "$@" \
    >"$dir/out" 2>&1 || { cat "$dir/out" >&2; rm -rf "$dir"; return 1; }
  sed -n 's/^totals: *//p' "$dir"/cg.*-01
  rm -rf "$dir"
}

# Internal: one callgrind job, run by xargs two at a time.
if [ "${1:-}" = --callgrind ]; then
  w=$2 h=$3 n=$4
  bench_command "$w" "$h" "$n" 0
  # shellcheck disable=SC2086
  once=$(instructions $BENCH_CMD)
  bench_command "$w" "$h" $((2 * n)) 0
  # shellcheck disable=SC2086
  twice=$(instructions $BENCH_CMD)
  echo "instr $w $h $(( (twice - once) / n ))"
  exit 0
fi

echo "== build ($build)"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=Release -DORVIX_BENCH=ON >/dev/null
fi
cmake --build "$build" -j2 --target bench >/dev/null

# The module of BEFORE_REV, built alone from that revision's tree.
before_needed=
for entry in $WORKLOADS; do
  case " $BEFORE_WORKLOADS " in *" ${entry%%:*} "*) before_needed=1 ;; esac
done
if [ -n "$before_needed" ] && [ "$(cat "$BENCH_BEFORE/rev" 2>/dev/null)" != "$BEFORE_REV" ]; then
  echo "== build of orvixcore at $BEFORE_REV ($BENCH_BEFORE)"
  rm -rf "$BENCH_BEFORE"
  mkdir -p "$BENCH_BEFORE/src"
  if git -C "$src" archive "$BEFORE_REV" | tar -x -C "$BENCH_BEFORE/src"; then
    cmake -S "$BENCH_BEFORE/src" -B "$BENCH_BEFORE/build" -DCMAKE_BUILD_TYPE=Release \
      -DBUILD_TESTING=OFF -DORVIX_EXAMPLES=OFF -DORVIX_BENCH=OFF >/dev/null
    cmake --build "$BENCH_BEFORE/build" -j2 --target orvixcore >/dev/null
    cp "$BENCH_BEFORE/build/orvixcore.so" "$BENCH_BEFORE/"
    echo "$BEFORE_REV" >"$BENCH_BEFORE/rev"
  else
    echo "(revision $BEFORE_REV is not in this repository: nothing measured before the caches)"
    before_needed=
  fi
fi

hosts="c lua5.1 luajit"
if "$PYGAME_PYTHON" -c 'import pygame' >/dev/null 2>&1; then
  hosts="$hosts pygame"
else
  echo "(python3-pygame is not installed: no pygame column)"
fi
hosts_for() {
  for h in $hosts; do
    [ "$h" = pygame ] && [ ! -f "$src/bench/pygame/$(echo "$1" | sed 's/[0-9x]*$//').py" ] && continue
    echo "$h"
  done
  if [ "$1" = pixels ]; then echo lua5.1-floor luajit-floor; fi
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
results=$work/results
{
  echo "info date $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "info cpu $(sed -n 's/^model name[^:]*: //p' /proc/cpuinfo | head -n 1) ($(nproc) cores)"
  echo "info load $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "info lua5.1 $("$LUA51" -v 2>&1 | cut -d' ' -f1-2)"
  echo "info luajit $("$LUAJIT" -v 2>&1 | cut -d' ' -f1-2)"
  echo "info sdl $(pkg-config --modversion sdl)"
  echo "info runs $runs"
  if [ -n "$before_needed" ]; then echo "info before $BEFORE_REV"; fi
} >"$results"

echo "== timing: $runs runs of each workload on each host, interleaved"
r=1
while [ $r -le "$runs" ]; do
  for entry in $WORKLOADS; do
    w=${entry%%:*} rest=${entry#*:} frames=${rest%%:*}
    for h in $(hosts_for "$w"); do
      bench_command "$w" "$h" "$frames" "$WARMUP"
      # shellcheck disable=SC2086
      line=$($BENCH_CMD 2>/dev/null | grep '^result ') || { echo "bench: $w on $h failed" >&2; exit 1; }
      echo "wall $w $h $(field "$line" median_ms) $(field "$line" hash)" >>"$results"
    done
  done
  echo "   run $r of $runs done"
  r=$((r + 1))
done

echo "== instructions per frame (callgrind, N and 2N frames)"
for entry in $WORKLOADS; do
  w=${entry%%:*} n=${entry##*:}
  # pygame's start-up alone is a billion instructions under callgrind: one
  # frame against two is enough for a peer.
  for h in $(hosts_for "$w"); do
    if [ "$h" = pygame ]; then echo "$w $h 1"; else echo "$w $h $n"; fi
  done
  if [ -n "$before_needed" ]; then
    case " $BEFORE_WORKLOADS " in *" $w "*) echo "$w lua5.1-before $n"; echo "$w luajit-before $n" ;; esac
  fi
done | xargs -r -P 2 -L 1 sh "$0" --callgrind >>"$results"

echo "== pacing: timer(60) for 5 s, twice per host"
pacing_runs="1 2"
case " ${BENCH_ONLY:-pacing} " in *" pacing "*) ;; *) pacing_runs= ;; esac
for r in $pacing_runs; do
  for h in $hosts; do
    [ "$h" = pygame ] && [ ! -f "$src/bench/pygame/pacing.py" ] && continue
    bench_command pacing "$h" 5 0.5
    # shellcheck disable=SC2086
    line=$($BENCH_CMD 2>/dev/null | grep '^result ') || { echo "bench: pacing on $h failed" >&2; exit 1; }
    echo "pacing $h $(field "$line" rate) $(field "$line" target_rate) $(field "$line" cpu_pct)" >>"$results"
  done
done

if [ "${BENCH_DOCS:-1}" = 1 ]; then
  mkdir -p "$src/docs/img"
  "$LUA51" "$src/bench/report.lua" "$results" "$src/docs/performance.md" "$work/chart.mvg"
  # The drawing goes in as an argument: ImageMagick's policy here refuses to
  # read it from a file.
  "$CONVERT" -size 1100x480 xc:white -draw "$(cat "$work/chart.mvg")" "$src/docs/img/bench_ratios.png"
  echo "== wrote docs/performance.md and docs/img/bench_ratios.png"
else
  "$LUA51" "$src/bench/report.lua" "$results"
fi
