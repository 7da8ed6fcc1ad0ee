#!/bin/sh
# Cross-builds the Windows runtime's libraries with mingw-w64 from Debian's
# source packages (Debian's patches applied), into a cache outside the
# checkout, and prints the folder they land in:
#   sh windows/deps.sh
# The cache is ${XDG_CACHE_HOME:-~/.cache}/orvix/windows (ORVIX_WINDOWS_CACHE
# chooses another), one folder per version of this recipe and of the
# compiler: a change to either builds afresh; an unchanged recipe finds its
# folder and prints it at once. A build cut short resumes at the library it
# was making.
#
# What lands there (PREFIX/include, lib, bin):
#   SDL.dll           SDL 1.2.15 (windib, DirectX, DirectSound, waveout,
#                     disk and dummy drivers, OpenGL through opengl32)
#   SDL_mixer.dll     SDL_mixer 1.2.12: WAV/AIFF/VOC, Ogg Vorbis, FLAC, MOD
#                     (libmikmod) and MIDI (Windows' own synthesiser), the
#                     decoders linked in
#   luajit/           LuaJIT 2.1: luajit.exe and its lua51.dll
#   static:           zlib, libpng, FreeType, libjpeg-turbo, libwebp's
#                     decoder, libFLAC
#   lua5.1/           Lua 5.1's sources, compiled by windows/Makefile with
#                     the runtime's random numbers
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
HOST=x86_64-w64-mingw32
# The win32 thread model: no winpthread DLL to carry along.
CC=$HOST-gcc-win32
CXX=$HOST-g++-win32
for tool in $CC $CXX $HOST-ar $HOST-ranlib $HOST-windres nasm dpkg-source; do
  command -v "$tool" >/dev/null 2>&1 || {
    echo "windows/deps.sh: $tool not found (sh scripts/install-deps.sh installs it)" >&2
    exit 1
  }
done

cache=${ORVIX_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/orvix/windows}
key=$({ cat "$0"; $CC --version | head -n 1; } | sha256sum | cut -c 1-16)
prefix=$cache/$key
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi
mkdir -p "$cache"
# One build at a time per cache; a second caller waits and then finds it done.
exec 9>"$cache/.lock"
flock 9
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

src=$prefix/src
work=$prefix/work
mkdir -p "$prefix/include" "$prefix/lib" "$prefix/bin" "$src" "$work"
jobs=$(nproc 2>/dev/null || echo 2)
log=$prefix/build.log
CFLAGS="-O2"
export PATH="$prefix/bin:$PATH"

# step NAME: true when NAME still has to be built (it is marked done after).
step() {
  [ -f "$prefix/.done-$1" ] && return 1
  echo "windows/deps.sh: building $1" >&2
  start=$(date +%s)
  return 0
}
done_() {
  touch "$prefix/.done-$1"
  echo "windows/deps.sh: $1 took $(($(date +%s) - start)) s" >&2
}
# quiet CMD...: runs CMD with its output in the log, which is shown on failure.
quiet() {
  if ! "$@" >>"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "windows/deps.sh: failed: $* (whole log: $log)" >&2
    exit 1
  fi
}
# configure_in DIR ARG...: an autotools configure for the cross compiler.
configure_in() {
  dir=$1
  shift
  (cd "$dir" && quiet ./configure --host=$HOST --prefix="$prefix" CC=$CC CXX=$CXX \
    CFLAGS="$CFLAGS" CPPFLAGS="-I$prefix/include" LDFLAGS="-L$prefix/lib" "$@")
}
# compile_lib NAME DIR CFLAGS FILE...: a static library from C files.
compile_lib() {
  name=$1 dir=$2 flags=$3
  shift 3
  objs=""
  for f in "$@"; do
    o=$work/$name-$(basename "$f" .c).o
    # shellcheck disable=SC2086
    quiet $CC $CFLAGS $flags -c "$dir/$f" -o "$o"
    objs="$objs $o"
  done
  rm -f "$prefix/lib/lib$name.a"
  # shellcheck disable=SC2086
  quiet $HOST-ar rcs "$prefix/lib/lib$name.a" $objs
}

quiet sh "$root/scripts/fetch-sources.sh" --patched "$src" \
  zlib libpng1.6 freetype libjpeg-turbo libwebp libogg libvorbis flac libmikmod \
  libsdl1.2 sdl-mixer1.2 lua5.1 luajit

if step zlib; then
  compile_lib z "$src/zlib" "" adler32.c compress.c crc32.c deflate.c gzclose.c gzlib.c gzread.c gzwrite.c \
    infback.c inffast.c inflate.c inftrees.c trees.c uncompr.c zutil.c
  cp "$src/zlib/zlib.h" "$src/zlib/zconf.h" "$prefix/include/"
  done_ zlib
fi

if step libpng; then
  cp "$src/libpng1.6/scripts/pnglibconf.h.prebuilt" "$src/libpng1.6/pnglibconf.h"
  compile_lib png "$src/libpng1.6" "-I$prefix/include" png.c pngerror.c pngget.c pngmem.c pngpread.c \
    pngread.c pngrio.c pngrtran.c pngrutil.c pngset.c pngtrans.c pngwio.c pngwrite.c pngwtran.c pngwutil.c
  cp "$src/libpng1.6/png.h" "$src/libpng1.6/pngconf.h" "$src/libpng1.6/pnglibconf.h" "$prefix/include/"
  done_ libpng
fi

if step freetype; then
  # Every font format FreeType reads natively (TrueType, OpenType, Type 1,
  # BDF, PCF, gzip-compressed fonts, ...): the zlib above, none of the other
  # optional libraries.
  mkdir -p "$work/freetype"
  (cd "$work/freetype" && quiet "$src/freetype/configure" --host=$HOST --prefix="$prefix" CC=$CC \
    CFLAGS="$CFLAGS" --disable-shared --enable-static --with-zlib=yes --with-bzip2=no --with-png=no \
    --with-harfbuzz=no --with-brotli=no --with-librsvg=no \
    ZLIB_CFLAGS="-I$prefix/include" ZLIB_LIBS="-L$prefix/lib -lz")
  quiet make -C "$work/freetype" -j"$jobs"
  quiet make -C "$work/freetype" install
  done_ freetype
fi

if step libjpeg; then
  # The same SIMD code as Linux's libjpeg-turbo (nasm), so JPEG pixels match.
  mkdir -p "$work/jpeg"
  (cd "$work/jpeg" && quiet cmake "$src/libjpeg-turbo" -DCMAKE_SYSTEM_NAME=Windows \
    -DCMAKE_SYSTEM_PROCESSOR=AMD64 -DCMAKE_C_COMPILER=$CC -DCMAKE_RC_COMPILER=$HOST-windres \
    -DCMAKE_ASM_NASM_COMPILER=nasm -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DENABLE_SHARED=0 -DENABLE_STATIC=1 -DWITH_TURBOJPEG=0 -DWITH_JPEG8=0)
  quiet make -C "$work/jpeg" -j"$jobs" jpeg-static
  cp "$work/jpeg/libjpeg.a" "$prefix/lib/"
  cp "$src/libjpeg-turbo/jpeglib.h" "$src/libjpeg-turbo/jmorecfg.h" "$src/libjpeg-turbo/jerror.h" \
    "$work/jpeg/jconfig.h" "$prefix/include/"
  done_ libjpeg
fi

if step libwebp; then
  # The decoder alone, with the SSE2 routines Linux's libwebp runs on x86-64
  # (the plain C ones, which the browser runs, give the same pixels).
  compile_lib webp "$src/libwebp" "-I$src/libwebp" \
    src/dec/alpha_dec.c src/dec/buffer_dec.c src/dec/frame_dec.c src/dec/idec_dec.c src/dec/io_dec.c \
    src/dec/quant_dec.c src/dec/tree_dec.c src/dec/vp8_dec.c src/dec/vp8l_dec.c src/dec/webp_dec.c \
    src/dsp/alpha_processing.c src/dsp/cpu.c src/dsp/dec.c src/dsp/dec_clip_tables.c src/dsp/filters.c \
    src/dsp/lossless.c src/dsp/rescaler.c src/dsp/upsampling.c src/dsp/yuv.c \
    src/dsp/alpha_processing_sse2.c src/dsp/dec_sse2.c src/dsp/filters_sse2.c src/dsp/lossless_sse2.c \
    src/dsp/rescaler_sse2.c src/dsp/upsampling_sse2.c src/dsp/yuv_sse2.c \
    src/utils/bit_reader_utils.c src/utils/color_cache_utils.c src/utils/filters_utils.c \
    src/utils/huffman_utils.c src/utils/quant_levels_dec_utils.c src/utils/random_utils.c \
    src/utils/rescaler_utils.c src/utils/thread_utils.c src/utils/utils.c
  mkdir -p "$prefix/include/webp"
  cp "$src/libwebp/src/webp/decode.h" "$src/libwebp/src/webp/types.h" "$prefix/include/webp/"
  done_ libwebp
fi

if step ogg; then
  configure_in "$src/libogg" --disable-shared --enable-static
  quiet make -C "$src/libogg" -j"$jobs" install
  done_ ogg
fi

if step vorbis; then
  configure_in "$src/libvorbis" --disable-shared --enable-static --disable-docs --disable-examples \
    --disable-oggtest
  quiet make -C "$src/libvorbis/lib" -j"$jobs" install
  quiet make -C "$src/libvorbis/include" install
  done_ vorbis
fi

if step flac; then
  # libFLAC only: the mixer's FLAC reader and the runtime's own checks.
  configure_in "$src/flac" --disable-shared --enable-static --disable-cpplibs --disable-programs \
    --disable-examples --disable-doxygen-docs --disable-xmms-plugin --disable-oggtest \
    --disable-stack-smash-protection --disable-fortify-source
  quiet make -C "$src/flac/src/libFLAC" -j"$jobs" install
  quiet make -C "$src/flac/include" install
  # Its header takes libtool's DLL_EXPORT, which the mixer's own DLL build
  # sets, for a wish to import libFLAC from a DLL: there is only the static
  # library here.
  sed -i 's/^#if defined(FLAC__NO_DLL) && !(defined(DLL_EXPORT))$/#if defined(FLAC__NO_DLL)/' \
    "$prefix/include/FLAC/export.h"
  grep -q '^#if defined(FLAC__NO_DLL)$' "$prefix/include/FLAC/export.h"
  done_ flac
fi

if step mikmod; then
  # Only its decoders: the mixer plays what it renders.
  configure_in "$src/libmikmod" --disable-shared --enable-static --disable-alldrv --disable-dl \
    --disable-threads --disable-doc
  quiet make -C "$src/libmikmod" -j"$jobs" install
  done_ mikmod
fi

if step sdl; then
  configure_in "$src/libsdl1.2" --disable-static --enable-shared --disable-rpath
  quiet make -C "$src/libsdl1.2" -j"$jobs"
  quiet make -C "$src/libsdl1.2" install
  done_ sdl
fi

if step sdl_mixer; then
  # The decoders linked in (not loaded at run time). Static Ogg needs its
  # libraries named, or configure leaves Ogg out without a word; static
  # libFLAC and libmikmod need their headers told (FLAC__NO_DLL,
  # MIKMOD_STATIC), in CFLAGS, the one variable the mixer's Makefile passes
  # on. MIDI goes to Windows' own synthesiser: timidity would need
  # instrument files, FluidSynth a sound font.
  configure_in "$src/sdl-mixer1.2" --disable-static --enable-shared --with-sdl-prefix="$prefix" \
    --enable-music-wave --enable-music-ogg --disable-music-ogg-shared \
    --enable-music-flac --disable-music-flac-shared \
    --enable-music-mod --disable-music-mod-shared --disable-music-mod-modplug \
    --enable-music-midi --enable-music-native-midi --disable-music-timidity-midi \
    --disable-music-fluidsynth-midi --disable-music-mp3 --disable-music-cmd --disable-smpegtest \
    CFLAGS="$CFLAGS -DFLAC__NO_DLL -DMIKMOD_STATIC" LIBS="-lvorbis -logg -lFLAC -lmikmod"
  grep -q '^#define OGG_MUSIC\|-DOGG_MUSIC' "$src/sdl-mixer1.2/Makefile" || {
    echo "windows/deps.sh: SDL_mixer's configure left out Ogg Vorbis" >&2
    exit 1
  }
  quiet make -C "$src/sdl-mixer1.2" clean
  quiet make -C "$src/sdl-mixer1.2" -j"$jobs" build/libSDL_mixer.la
  quiet make -C "$src/sdl-mixer1.2" install-hdrs install-lib
  done_ sdl_mixer
fi

if step luajit; then
  quiet make -C "$src/luajit" -j"$jobs" HOST_CC=gcc CROSS=$HOST- TARGET_SYS=Windows BUILDMODE=dynamic \
    DEFAULT_CC=gcc-win32 amalg
  mkdir -p "$prefix/luajit/lua/jit"
  cp "$src/luajit/src/luajit.exe" "$src/luajit/src/lua51.dll" "$prefix/luajit/"
  cp "$src/luajit/src/jit/"*.lua "$prefix/luajit/lua/jit/"
  done_ luajit
fi

# Lua 5.1's sources stay (windows/Makefile compiles them); the rest goes.
rm -rf "$prefix/lua5.1"
mv "$src/lua5.1" "$prefix/lua5.1"
rm -rf "$work" "$src"
# Other versions of the recipe are of no further use.
for old in "$cache"/*/; do
  [ "${old%/}" = "$prefix" ] || rm -rf "${old%/}"
done
touch "$prefix/.complete"
echo "$prefix"
