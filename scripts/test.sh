#!/bin/sh
# Builds everything and runs the whole test suite: the normal build first,
# then the AddressSanitizer + UndefinedBehaviorSanitizer build.
#   scripts/test.sh            everything
#   ORVIX_SKIP_SANITIZE=1 ...  the normal build only
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

if [ "${ORVIX_SKIP_SANITIZE:-0}" != 1 ]; then
  cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DORVIX_SANITIZE=ON >/dev/null
  cmake --build build-asan -j"$jobs"
  (cd build-asan && ctest --output-on-failure -j"$jobs")
fi
