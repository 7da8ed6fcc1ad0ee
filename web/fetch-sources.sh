#!/bin/sh
# Fetches the sources of the libraries the browser build compiles (Lua 5.1,
# FreeType, libpng, zlib) from Debian's archive and unpacks their upstream
# tarballs: fetch-sources.sh DIR. Each library lands in DIR/<package>/ once;
# a second run finds it there and does nothing.
#
# Only the upstream tarballs are used: Debian's patches are about packaging
# (shared-library names, multiarch paths), not about the code we compile.
set -e
dir=${1:?usage: fetch-sources.sh DIR}
mkdir -p "$dir"
cd "$dir"

fetch() {
  pkg=$1
  [ -f "$pkg/.unpacked" ] && return 0
  rm -rf "$pkg" "$pkg.dl"
  mkdir "$pkg.dl"
  # A mirror may lack the newest revision (security updates live in a
  # separate archive); any revision the index lists has the same upstream
  # tarball, so the others are tried in turn.
  if ! (cd "$pkg.dl" && apt-get source -qq --download-only "$pkg" >/dev/null 2>&1); then
    ok=
    for v in $(apt-cache showsrc "$pkg" | sed -n 's/^Version: //p'); do
      if (cd "$pkg.dl" && apt-get source -qq --download-only "$pkg=$v" >/dev/null 2>&1); then
        ok=1
        break
      fi
    done
    if [ -z "$ok" ]; then
      echo "fetch-sources.sh: apt-get source $pkg failed (is there a deb-src line? see scripts/install-deps.sh)" >&2
      exit 1
    fi
  fi
  orig=$(ls "$pkg.dl"/*.orig.tar.* | grep -v '\.asc$' | grep -v -- '-ft2' | head -n 1)
  mkdir "$pkg"
  tar -xf "$orig" -C "$pkg" --strip-components=1
  rm -rf "$pkg.dl"
  touch "$pkg/.unpacked"
}

for p in lua5.1 freetype libpng1.6 zlib; do fetch "$p"; done
