#!/bin/sh
# Runs one busted file under one Lua host: run_busted.sh HOST FILE
# The environment comes from CTest (ORVIX_BUILD, ORVIX_SOURCE, ORVIX_ASSETS,
# ORVIX_SANITIZE, BUSTED).
set -e
host=$1
file=$2
. "$(dirname "$0")/env.sh"
exec "$host" "$BUSTED" --pattern=_test -o utfTerminal "$file"
