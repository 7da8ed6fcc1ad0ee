#!/bin/sh
# Runs a command with a time limit: watchdog.sh SECONDS COMMAND [ARGS...]
# Exits with the command's status. A command still running after SECONDS is
# taken to be hung: the stack of each of its threads goes to standard error
# (gdb, attached to it), then it is killed with SIGKILL and the status is 137.
#
# SIGKILL, not SIGTERM: SDL turns SIGTERM into a quit event, which a main
# thread stuck in a lock or a wait never reads. And the limit sits here, around
# the game itself: a timeout around a script that runs the game kills only the
# script and leaves the game holding the test until CTest's own limit, which
# reports nothing about where it stood.
limit=$1
shift
"$@" &
pid=$!
trap 'kill -KILL "$pid" 2>/dev/null; exit 143' TERM INT HUP
deadline=$(($(date +%s) + limit))
# The shell reaps the command while it waits for sleep, so kill -0 fails once
# it has ended.
while kill -0 "$pid" 2>/dev/null; do
  if [ "$(date +%s)" -ge "$deadline" ]; then
    exec 1>&2
    echo "watchdog: still running after $limit s; the stack of every thread:"
    # Without the sanitizer runtime the tests preload into the game, and with
    # a limit of its own: gdb may wait for ever on a process that is stuck in
    # the kernel.
    trace=$(env -u LD_PRELOAD timeout -s KILL 120 "${GDB:-gdb}" -nx -batch -p "$pid" \
      -ex "set debuginfod enabled off" -ex "thread apply all bt" </dev/null 2>&1) || true
    # The threads and their frames; all gdb said when it gave none (it could
    # not attach, say).
    printf '%s\n' "$trace" | grep -E '^(Thread |#)' || printf '%s\n' "$trace"
    kill -KILL "$pid" 2>/dev/null
    wait "$pid"
    status=$?
    echo "watchdog: killed with SIGKILL (status $status)"
    exit "$status"
  fi
  sleep 0.2
done
wait "$pid"
