#!/bin/sh
# Starts or stops the virtual X server the tests draw on. -noreset: by default
# the server resets whenever its last client leaves and drops connections made
# meanwhile; SDL opens and closes a probe connection just before its real one.
#   xvfb.sh start STATE_DIR   picks a free display number, writes it to STATE_DIR/display
#   xvfb.sh stop STATE_DIR
set -e
cmd=$1
dir=$2
case "$cmd" in
start)
  mkdir -p "$dir"
  if [ -f "$dir/pid" ] && kill -0 "$(cat "$dir/pid")" 2>/dev/null; then
    kill "$(cat "$dir/pid")" 2>/dev/null || true
  fi
  n=90
  while [ "$n" -lt 190 ]; do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
      Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset +extension GLX >"$dir/xvfb.log" 2>&1 &
      pid=$!
      i=0
      while [ $i -lt 100 ]; do
        # Ours only if the lock names our server: two starts racing for the
        # same number both see the winner's socket.
        if [ -e "/tmp/.X11-unix/X$n" ] &&
          [ "$(tr -d ' \n' <"/tmp/.X$n-lock" 2>/dev/null)" = "$pid" ]; then
          echo "$pid" >"$dir/pid"
          echo ":$n" >"$dir/display"
          echo "Xvfb running on :$n (pid $pid)"
          exit 0
        fi
        if ! kill -0 "$pid" 2>/dev/null; then break; fi
        sleep 0.1
        i=$((i + 1))
      done
      kill "$pid" 2>/dev/null || true
    fi
    n=$((n + 1))
  done
  echo "could not start Xvfb" >&2
  cat "$dir/xvfb.log" >&2 || true
  exit 1
  ;;
stop)
  if [ -f "$dir/pid" ]; then
    kill "$(cat "$dir/pid")" 2>/dev/null || true
    rm -f "$dir/pid" "$dir/display"
  fi
  ;;
*)
  echo "usage: xvfb.sh start|stop DIR" >&2
  exit 2
  ;;
esac
