#!/bin/sh
# Runs one busted file under one Lua host: run_busted.sh HOST FILE
# The environment comes from CTest (ORVIX_BUILD, ORVIX_SOURCE, ORVIX_ASSETS,
# ORVIX_SANITIZE, BUSTED).
#
# Each file gets an X server of its own: the files run in parallel, and a test
# that reads back what a window shows would otherwise see the windows of other
# files stacked over its own.
set -e
host=$1
file=$2
. "$(dirname "$0")/env.sh"
xstate=$(mktemp -d)
trap 'sh "$(dirname "$0")/xvfb.sh" stop "$xstate"; rm -rf "$xstate"' EXIT
sh "$(dirname "$0")/xvfb.sh" start "$xstate" >/dev/null
DISPLAY=$(cat "$xstate/display")
export DISPLAY
"$host" "$BUSTED" --pattern=_test -o utfTerminal "$file"
