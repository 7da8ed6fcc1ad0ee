#!/bin/sh
# The modules export their entry points, putpixel and the shared globals, and nothing else.
set -e
build=$1
got=$(nm -D --defined-only "$build/orvixcore.so" | awk '{print $3}' | sort | tr '\n' ' ')
want=$(printf '%s\n' CC curses_on gNumpads gPads gScreen gl_on luaopen_orvixcore luaopen_orvixcore_extra putpixel sound_on | sort | tr '\n' ' ')
if [ "$got" != "$want" ]; then
  echo "orvixcore.so exports: $got"
  echo "expected:             $want"
  exit 1
fi
got=$(nm -D --defined-only "$build/vtxpack.so" | awk '{print $3}' | tr '\n' ' ')
if [ "$got" != "luaopen_vtxpack " ]; then
  echo "vtxpack.so exports: $got"
  exit 1
fi
echo "exports ok"
