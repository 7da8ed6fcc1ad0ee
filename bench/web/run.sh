#!/bin/sh
# The browser benchmark: builds the example sites from the native build
# (BUILD, default build) and measures their frame rates in headless
# Chromium over SECONDS (default 10). docs/performance.md has the results.
#   sh bench/web/run.sh [BUILD [SECONDS]]
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
[ -d "$build/examples/arcade" ] || { echo "bench/web/run.sh: build the native tree first (cmake --build $build)" >&2; exit 1; }
sh "$root/tests/browser/build_sites.sh" "$build" >/dev/null
node "$root/bench/web/run.js" "$build" "${2:-10}"
