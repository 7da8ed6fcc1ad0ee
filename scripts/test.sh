#!/bin/sh
# Builds everything and runs the whole test suite, on both SDL 1.2 libraries:
#   1. the normal build, on classic SDL 1.2.15;
#   2. the AddressSanitizer + UndefinedBehaviorSanitizer build, on classic SDL;
#   3. the normal build again, on sdl12-compat (the SDL2-based SDL 1.2 that
#      current distributions ship), chosen for every process of the run with
#      LD_LIBRARY_PATH. ORVIX_SDL=compat tells the tests which library they
#      must find loaded;
#   4. the sanitizer build's fuzz runs, on sdl12-compat.
#   ORVIX_SKIP_SANITIZE=1 ...  leaves out passes 2 and 4
#   ORVIX_SKIP_COMPAT=1 ...    leaves out passes 3 and 4
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
# Every part is asked for: a missing tool must fail the run, not shrink it.
parts="-DBUILD_TESTING=ON -DORVIX_EXAMPLES=ON -DORVIX_BENCH=ON -DORVIX_WEB_TESTS=ON -DORVIX_WINDOWS_TESTS=ON"

# shellcheck disable=SC2086
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo $parts >/dev/null
cmake --build build -j"$jobs"
echo "== classic SDL 1.2, normal build"
(cd build && ctest --output-on-failure -j"$jobs")

if [ "${ORVIX_SKIP_SANITIZE:-0}" != 1 ]; then
  # shellcheck disable=SC2086
  cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DORVIX_SANITIZE=ON $parts >/dev/null
  cmake --build build-asan -j"$jobs"
  echo "== classic SDL 1.2, sanitizer build"
  (cd build-asan && ctest --output-on-failure -j"$jobs")
fi

if [ "${ORVIX_SKIP_COMPAT:-0}" != 1 ]; then
  compat=$(dpkg -L libsdl1.2-compat | grep '/libSDL-1\.2\.so\.0$' | head -n 1)
  if [ -z "$compat" ]; then
    echo "libsdl1.2-compat is not installed" >&2
    exit 1
  fi
  compat_path="$(dirname "$compat")${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
  echo "== sdl12-compat, normal build"
  # The browser and Windows builds (labels web, windows) use no SDL library
  # of the system: once is enough.
  (cd build && ORVIX_SDL=compat LD_LIBRARY_PATH="$compat_path" ctest --output-on-failure -j"$jobs" -LE 'web|windows')
  if [ "${ORVIX_SKIP_SANITIZE:-0}" != 1 ]; then
    # The sanitizers on the second library too, where its calls reach the most
    # of it for the least time: the fuzz runs (well under a minute).
    echo "== sdl12-compat, sanitizer build, fuzz runs"
    (cd build-asan && ORVIX_SDL=compat LD_LIBRARY_PATH="$compat_path" ctest --output-on-failure -j"$jobs" -L fuzz)
  fi
fi
