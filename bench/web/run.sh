#!/bin/sh
# The browser benchmark: builds the example sites from the native build
# (BUILD, default build; configured with -DORVIX_WEB_TESTS=ON, which makes
# the fixed-clock shim the native side uses) and measures in headless
# Chromium: the arcade's start with an empty cache and warm, the work of each
# frame beside the native build's on the same frames, and frame rates on the
# real clock over SECONDS (default 10). docs/performance.md has the results.
#   sh bench/web/run.sh [BUILD [SECONDS [start|work|rate]...]]
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
[ -d "$build/examples/arcade" ] || { echo "bench/web/run.sh: build the native tree first (cmake --build $build)" >&2; exit 1; }
[ -f "$build/tests/libfixedclock.so" ] || { echo "bench/web/run.sh: configure $build with -DORVIX_WEB_TESTS=ON" >&2; exit 1; }
sh "$root/tests/browser/build_sites.sh" "$build" >/dev/null
[ $# -gt 0 ] && shift
seconds=${1:-10}
[ $# -gt 0 ] && shift
node "$root/bench/web/run.js" "$build" "$seconds" "$@"
