#!/bin/sh
# Fetches source packages from Debian's archive and unpacks them:
#   fetch-sources.sh [--patched] DIR PKG...
# Each package lands in DIR/<package>/ once; a second run finds it there and
# does nothing. Without --patched only the upstream tarball is unpacked;
# with it, the package as Debian builds it (dpkg-source, Debian's patches
# applied). Needs a deb-src line (scripts/install-deps.sh adds one).
set -e
patched=
if [ "$1" = --patched ]; then
  patched=1
  shift
fi
dir=${1:?usage: fetch-sources.sh [--patched] DIR PKG...}
shift
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
  if [ -n "$patched" ]; then
    dsc=$(ls "$pkg.dl"/*.dsc | head -n 1)
    dpkg-source --no-check --no-copy -q -x "$dsc" "$pkg" >/dev/null
  else
    orig=$(ls "$pkg.dl"/*.orig.tar.* | grep -v '\.asc$' | grep -v -- '-ft2' | head -n 1)
    mkdir "$pkg"
    tar -xf "$orig" -C "$pkg" --strip-components=1
  fi
  rm -rf "$pkg.dl"
  touch "$pkg/.unpacked"
}

for p in "$@"; do fetch "$p"; done
