#!/bin/sh
# Fetches the sources of the libraries the browser build compiles (Lua 5.1,
# FreeType, libpng, zlib, libwebp, libmikmod) from Debian's archive, unpacks
# them and applies Debian's own patches (its security fixes among them), so
# that the browser runs the code the native libraries were built from:
# fetch-sources.sh DIR. Each library lands in DIR/<package>/ once; a second
# run finds it there and does nothing.
#
# The revision tried first is the one the system's binary package was built
# from; a mirror may lack it (security updates live in a separate archive),
# and then the others the index lists are tried in turn, newest first.
set -e
dir=${1:?usage: fetch-sources.sh DIR}
mkdir -p "$dir"
cd "$dir"

# The source revision of an installed binary package, if there is one.
installed() {
  dpkg-query -W -f='${source:Version}' "$1" 2>/dev/null || true
}

fetch() {
  pkg=$1
  bin=$2
  [ -f "$pkg/.patched" ] && return 0
  rm -rf "$pkg" "$pkg.dl"
  mkdir "$pkg.dl"
  ok=
  for v in $(installed "$bin") $(apt-cache showsrc "$pkg" | sed -n 's/^Version: //p' | sort -r -V); do
    if (cd "$pkg.dl" && apt-get source -qq --download-only "$pkg=$v" >/dev/null 2>&1); then
      ok=1
      break
    fi
    rm -rf "$pkg.dl" && mkdir "$pkg.dl"
  done
  if [ -z "$ok" ]; then
    echo "fetch-sources.sh: apt-get source $pkg failed (is there a deb-src line? see scripts/install-deps.sh)" >&2
    exit 1
  fi
  orig=$(ls "$pkg.dl"/*.orig.tar.* | grep -v '\.asc$' | grep -v -- '-ft2' | head -n 1)
  mkdir "$pkg"
  tar -xf "$orig" -C "$pkg" --strip-components=1
  # Debian's patch series, in order ("name" or "name -pN" per line).
  debian=$(ls "$pkg.dl"/*.debian.tar.* 2>/dev/null | head -n 1)
  if [ -n "$debian" ]; then
    tar -xf "$debian" -C "$pkg"
    if [ -f "$pkg/debian/patches/series" ]; then
      sed -e 's/#.*//' "$pkg/debian/patches/series" | while read -r patch level; do
        [ -n "$patch" ] || continue
        # Patches to parts that are not compiled (documentation and demos,
        # which come in tarballs of their own) are left out.
        found=
        for f in $(sed -n 's|^+++ [^/]*/\([^ 	]*\).*|\1|p' "$pkg/debian/patches/$patch"); do
          [ -e "$pkg/$f" ] && found=1
        done
        [ -n "$found" ] || continue
        patch -d "$pkg" -s -f -N ${level:--p1} <"$pkg/debian/patches/$patch" >/dev/null || {
          echo "fetch-sources.sh: Debian's $patch does not apply to $pkg" >&2
          exit 1
        }
      done
    fi
  fi
  rm -rf "$pkg.dl"
  touch "$pkg/.patched"
}

fetch lua5.1 liblua5.1-0
fetch freetype libfreetype6
fetch libpng1.6 libpng16-16
fetch zlib zlib1g
fetch libwebp libwebp7
fetch libmikmod libmikmod3
