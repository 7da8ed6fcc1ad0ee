// Asset files: every image, sound, music and font file a script names is read
// and checked here before a library decodes it, so that a damaged or unusual
// file either loads with the right contents or fails like a missing file,
// instead of hanging or crashing the game inside the library.
//
// Each format's section below lists the faults of the library that reads it,
// each with the guard that stands for it and what would let the guard go;
// docs/behaviour.md has the same list with the tests that show each fault.
// The library versions are Debian 12's: SDL 1.2.15 (with Debian's patches),
// sdl12-compat 1.2.60 over SDL 2.26, SDL_image 1.2.12, SDL_mixer 1.2.12,
// SDL_ttf 2.0.11, libvorbis 1.3.7, libFLAC 1.4.2.
//
// Two kinds of guard, chosen per format:
// - a structure check that walks the file the way the library's own reader
//   will, and refuses it where that reader would run past the end of the data,
//   loop on stale bytes or index out of range;
// - decoding or test-decoding through a library directly, where the usual path
//   cannot be made safe or gives the wrong pixels: PNG through libpng with
//   reads that stop at the end of the file, FLAC sounds through a dry run of
//   libFLAC, bitmap fonts through FreeType.
// The checks take whole files in memory (music only its headers, from disk)
// and never call Lua, so nothing here can be cut short by a Lua error.
//
// The browser (web/) and Windows (windows/) builds compile this file too,
// with switches for what they lack:
// - ORVIX_ADDONS: SDL_image is the add-ons' (addons/), which reads BMP, PCX,
//   XPM and TGA itself and hands other formats to the build's own decoders;
//   the same files are refused as natively, by the same checks;
// - ORVIX_32BIT_SURFACES: every surface has 32 bits per pixel and none has a
//   colour key (the browser's, web/surface.cpp), so PNG becomes RGBA;
// - ORVIX_BROWSER_DECODES: the browser decodes sounds, so there is no mixer
//   FLAC reader to guard and no libFLAC for the FLAC sound dry run. The other
//   sound checks guard no reader there either, but they run, so that the same
//   file is refused in both builds.
// Everything else runs the same in every build.
#include "assets.h"

#ifndef ORVIX_BROWSER_DECODES
#include <FLAC/stream_decoder.h>
#endif
#include <SDL_image.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>
#include <strings.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#endif

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace orvix {
namespace {

Uint32 le16(const Uint8 *p) { return Uint32(p[0]) | Uint32(p[1]) << 8; }
Uint32 le32(const Uint8 *p) { return le16(p) | le16(p + 2) << 16; }
Uint32 be16(const Uint8 *p) { return Uint32(p[0]) << 8 | Uint32(p[1]); }
Uint32 be32(const Uint8 *p) { return be16(p) << 16 | be16(p + 2); }
Uint32 tag(const char *s) { return le32(reinterpret_cast<const Uint8 *>(s)); }

// A file's bytes, from memory or from an open file, read at an offset. Music
// is streamed by the mixer from disk, so only its headers are read.
struct Source {
    const Uint8 *mem;
    FILE *file;
    Uint64 size;

    bool read(Uint64 at, void *out, size_t n) const {
        if (at > size || n > size - at) return false;
        if (mem) {
            memcpy(out, mem + at, n);
            return true;
        }
        return fseeko(file, static_cast<off_t>(at), SEEK_SET) == 0 && fread(out, 1, n, file) == n;
    }
};

}  // namespace

// ---------------------------------------------------------------------------
// Sample formats, as SDL's converter (SDL_BuildAudioCVT and
// SDL_ConvertAudio) takes them from every sound and music reader.
// - classic SDL 1.2.15: SIGSEGV or corrupted memory, or no end. It converts
//   through a fixed table of ten filter steps, one per halving or doubling of
//   the rate and per channel or sample-format step, and writes past the table
//   for rates far from the mixer's 44,100 Hz (1, 2, 50 Hz, 2^31 Hz); a rate
//   of 0 or 0 channels never stops adding steps.
// - sdl12-compat (SDL 2.26's converter): corrupted memory at 2^31 Hz, and
//   crashes with 50 or more channels.
// Guard: 1,000 to 384,000 Hz and 1 to 8 channels (at most nine steps), on
// both libraries alike. Classic SDL 1.2 gets no more fixes: the guard stays
// as long as it is supported.
bool sample_format_ok(Uint32 rate, Uint32 channels) {
    return channels >= 1 && channels <= 8 && rate >= 1000 && rate <= 384000;
}

// ---------------------------------------------------------------------------
// GIF, read by SDL_image (IMG_gif.c): blocks up to the first image, whose data
// is a chain of sub-blocks.
// - hang: at the end of the file its extension reader never stops asking for
//   one more sub-block. Guard: every block up to the first image, and that
//   image's data, ends inside the file.
// - writes out of bounds: an image without columns or rows, or with an LZW
//   code size larger than its tables. Guard: at least 1 x 1, code size 1 to 11.
// - null write: a surface SDL refuses. Guard: surface_possible (below).
// All can go with a fixed reader (SDL_image 2's is).
static bool skip_sub_blocks(const Uint8 *d, size_t n, size_t &pos) {
    for (;;) {
        if (pos >= n) return false;
        size_t len = d[pos++];
        if (len == 0) return true;
        if (len > n - pos) return false;
        pos += len;
    }
}

bool gif_readable(const Uint8 *d, size_t n, ImageSize *size) {
    if (n < 13) return false;
    size_t pos = 13;
    if (d[10] & 0x80) pos += size_t(3) << ((d[10] & 7) + 1);
    for (;;) {
        if (pos >= n) return false;
        Uint8 c = d[pos++];
        if (c == ';') return false;  // the trailer before any image
        if (c == '!') {
            if (pos >= n) return false;
            ++pos;  // the extension's label
            if (!skip_sub_blocks(d, n, pos)) return false;
            continue;
        }
        if (c != ',') continue;  // the reader skips stray bytes too
        if (n - pos < 10) return false;
        Uint32 w = le16(d + pos + 4), h = le16(d + pos + 6);
        Uint8 flags = d[pos + 8];
        pos += 9;
        if (flags & 0x80) pos += size_t(3) << ((flags & 7) + 1);
        if (w == 0 || h == 0 || pos >= n) return false;
        Uint8 code_size = d[pos++];
        if (code_size < 1 || code_size > 11) return false;
        if (size) *size = {int(w), int(h), 8};
        return skip_sub_blocks(d, n, pos);
    }
}

// ---------------------------------------------------------------------------
// XPM, read by SDL_image (IMG_xpm.c) from a file: each line is the text
// between the next two double quotes, except pixel rows, which are read as
// exactly width * chars-per-pixel characters plus the closing quote and two
// more bytes.
// - null read: a pixel row that is not there (a cut file, more rows or
//   columns announced than given, a stray quote), or a pixel whose key is not
//   one of the colours. Guard: every row there, every key a colour, the
//   counts within the file.
// - null write: a surface SDL refuses. Guard: surface_possible (below).
namespace {

struct XpmReader {
    const Uint8 *d;
    size_t n;
    size_t pos;

    // The next quoted line; false at the end of the data.
    bool line(const Uint8 **start, size_t *len) {
        while (pos < n && d[pos] != '"') ++pos;
        if (pos >= n) return false;
        size_t from = ++pos;
        while (pos < n && d[pos] != '"') ++pos;
        if (pos >= n) return false;
        *start = d + from;
        *len = pos++ - from;
        return true;
    }
    // A pixel row of exactly `chars` characters.
    bool row(Uint64 chars, const Uint8 **start) {
        while (pos < n && d[pos] != '"') ++pos;
        if (pos >= n) return false;
        ++pos;
        if (chars + 3 > n - pos) return false;
        *start = d + pos;
        pos += static_cast<size_t>(chars + 3);
        return true;
    }
};

// Orders colour keys of g_key_size characters (qsort and bsearch take no
// context of their own).
size_t g_key_size;
int compare_keys(const void *a, const void *b) {
    return memcmp(*static_cast<const Uint8 *const *>(a), *static_cast<const Uint8 *const *>(b), g_key_size);
}

}  // namespace

bool xpm_readable(const Uint8 *d, size_t n, ImageSize *size) {
    XpmReader r = {d, n, 0};
    const Uint8 *text;
    size_t len;
    if (!r.line(&text, &len)) return false;
    char header[128];
    size_t hl = len < sizeof header - 1 ? len : sizeof header - 1;
    memcpy(header, text, hl);
    header[hl] = '\0';
    long w, h, ncolors, cpp;
    if (sscanf(header, "%ld %ld %ld %ld", &w, &h, &ncolors, &cpp) != 4) return false;
    // Every count is bounded by the file's size, so nothing below overflows.
    if (w <= 0 || h <= 0 || ncolors <= 0 || cpp <= 0) return false;
    if (Uint64(w) > n || Uint64(h) > n || Uint64(ncolors) > n || Uint64(cpp) > n) return false;
    const Uint64 row_chars = Uint64(w) * Uint64(cpp);
    if (row_chars > n) return false;
    if (size) *size = {int(w), int(h), ncolors <= 256 ? 8 : 32};

    // The colour keys, sorted for lookups (one table entry per byte for the
    // common one-character keys).
    const Uint8 **keys = static_cast<const Uint8 **>(malloc(sizeof(Uint8 *) * size_t(ncolors)));
    if (!keys) return false;
    bool ok = true;
    bool single[256] = {};
    for (long i = 0; ok && i < ncolors; ++i) {
        ok = r.line(&text, &len) && len >= size_t(cpp);
        if (!ok) break;
        keys[i] = text;
        if (cpp == 1) single[text[0]] = true;
    }
    g_key_size = size_t(cpp);
    if (ok && cpp > 1) qsort(keys, size_t(ncolors), sizeof(Uint8 *), compare_keys);
    for (long y = 0; ok && y < h; ++y) {
        const Uint8 *row;
        ok = r.row(row_chars, &row);
        for (long x = 0; ok && x < w; ++x) {
            const Uint8 *key = row + size_t(x) * size_t(cpp);
            ok = cpp == 1 ? single[key[0]]
                          : bsearch(&key, keys, size_t(ncolors), sizeof(Uint8 *), compare_keys) != nullptr;
        }
    }
    free(keys);
    return ok;
}

// ---------------------------------------------------------------------------
// PCX, read by SDL_image (IMG_pcx.c): each row is decoded into a buffer of
// BytesPerLine bytes per plane, then width pixels are read from it.
// - reads past its buffer (pixels from whatever lies beyond): a BytesPerLine
//   too short for the width. Guard: BytesPerLine * 8 >= width * bits, and a
//   size of at least 1 x 1.
bool pcx_readable(const Uint8 *d, size_t n) {
    if (n < 128) return false;
    Sint32 width = Sint32(le16(d + 8)) - Sint32(le16(d + 4)) + 1;
    Sint32 height = Sint32(le16(d + 10)) - Sint32(le16(d + 6)) + 1;
    Uint32 bits = d[3], bytes_per_line = le16(d + 66);
    return width > 0 && height > 0 && Uint64(bytes_per_line) * 8 >= Uint64(width) * bits;
}

// ---------------------------------------------------------------------------
// BMP colours, as SDL_image (IMG_bmp.c) reads them.
// - wrong alpha: a 32-bit file without an alpha mask keeps padding in its
//   fourth byte, which SDL_image reads as alpha (fully transparent, or
//   whatever the writer left there). Guard: such a file's pixels are made
//   opaque (make_opaque); bmp_without_alpha tells which files.
// - fully transparent palettes on sdl12-compat: see palette_opaque below.
bool bmp_without_alpha(const Uint8 *d, size_t n) {
    if (n < 54 || d[0] != 'B' || d[1] != 'M') return false;
    Uint32 header = le32(d + 14), bits = le16(d + 28), compression = le32(d + 30);
    if (header < 40 || bits != 32) return false;
    if (compression == 0) return true;  // BI_RGB: no masks at all
    // BI_BITFIELDS: an alpha mask exists only in the longer headers.
    return compression == 3 && (header < 56 || n < 70 || le32(d + 66) == 0);
}

// ---------------------------------------------------------------------------
// JPEG colours, as SDL_image (IMG_jpg.c) reads them.
// - wrong colours: the four channels of a CMYK file are handed over
//   unconverted, as if they were blue, green, red and alpha. Guard: CMYK files
//   are turned into RGB (cmyk_to_rgb). jpeg_cmyk_kind gives 0: not CMYK;
//   1: plain CMYK; 2: CMYK written with an Adobe marker, whose channels are
//   stored inverted.
int jpeg_cmyk_kind(const Uint8 *d, size_t n) {
    if (n < 4 || d[0] != 0xFF || d[1] != 0xD8) return 0;
    bool adobe = false;
    size_t pos = 2;
    while (pos + 4 <= n) {
        if (d[pos] != 0xFF) return 0;
        Uint8 marker = d[pos + 1];
        if (marker == 0xFF) {  // fill byte
            ++pos;
            continue;
        }
        size_t len = be16(d + pos + 2);
        if (len < 2 || len > n - pos - 2) return 0;
        const Uint8 *body = d + pos + 4;
        if (marker == 0xEE && len >= 7 && memcmp(body, "Adobe", 5) == 0) adobe = true;
        bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) return (len >= 8 && body[5] == 4) ? (adobe ? 2 : 1) : 0;
        if (marker == 0xDA) return 0;  // scan data before any frame header
        pos += 2 + len;
    }
    return 0;
}

// Sets every alpha bit of a surface's pixels, in place: opaque.
static void make_opaque(SDL_Surface *s) {
    Uint32 amask = s->format->Amask;
    if (s->format->BytesPerPixel != 4 || !amask || SDL_LockSurface(s) < 0) return;
    for (int y = 0; y < s->h; ++y) {
        Uint32 *p = reinterpret_cast<Uint32 *>(static_cast<Uint8 *>(s->pixels) + y * s->pitch);
        for (int x = 0; x < s->w; ++x) p[x] |= amask;
    }
    SDL_UnlockSurface(s);
}

// ---------------------------------------------------------------------------
// PNG, read by SDL_image (IMG_png.c) over libpng.
// - hang: its read callback ignores short reads, so past the end of a cut
//   file libpng takes stale buffer contents for chunk lengths and data and
//   can work through them for ever. Guard: the file is decoded here through
//   libpng, and a read past the end is an error.
// - wrong colours: greyscale with a transparent colour comes out as a 16-bit
//   red and green surface, and 16-bit colour with a transparent colour gets a
//   key compared with truncated values. Guard: both become RGBA here.
// Otherwise the surface is the one SDL_image makes for the same file (same
// transformations, layout, palette and colour key).
namespace {

struct PngInput {
    const Uint8 *data;
    size_t size;
    size_t pos;
};

void png_read_memory(png_structp png, png_bytep out, png_size_t n) {
    auto *in = static_cast<PngInput *>(png_get_io_ptr(png));
    if (n > in->size - in->pos) png_error(png, "unexpected end of file");
    memcpy(out, in->data + in->pos, n);
    in->pos += n;
}

// libpng prints warnings and errors on standard error by default: a damaged
// file fails with the loader's own message instead.
void png_no_warning(png_structp, png_const_charp) {}
void png_failed(png_structp png, png_const_charp) { png_longjmp(png, 1); }

}  // namespace

SDL_Surface *decode_png(const Uint8 *data, size_t size) {
    if (size < 8 || png_sig_cmp(data, 0, 8) != 0) return nullptr;
    PngInput in = {data, size, 8};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, png_failed, png_no_warning);
    if (!png) return nullptr;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return nullptr;
    }
    // What a failure must release: changed after setjmp, so volatile.
    SDL_Surface *volatile surface = nullptr;
    png_bytep *volatile rows = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        free(rows);
        if (surface) SDL_FreeSurface(surface);
        png_destroy_read_struct(&png, &info, nullptr);
        return nullptr;
    }
    png_set_read_fn(png, &in, png_read_memory);
    png_set_sig_bytes(png, 8);
    png_read_info(png, info);
    png_uint_32 width, height;
    int depth, color, interlace;
    png_get_IHDR(png, info, &width, &height, &depth, &color, &interlace, nullptr, nullptr);

    png_set_strip_16(png);
    png_set_packing(png);
    if (color == PNG_COLOR_TYPE_GRAY) png_set_expand(png);

    // A single transparent palette entry (all others opaque) or an 8-bit
    // colour becomes a colour key; any other transparency an alpha channel.
    // (Not in the browser build, which has no colour keys: see below.)
    [[maybe_unused]] int key_index = -1;
    png_color_16p key_colour = nullptr;
    if (png_get_valid(png, info, PNG_INFO_tRNS)) {
        png_bytep trans;
        int num_trans;
        png_get_tRNS(png, info, &trans, &num_trans, &key_colour);
        if (color == PNG_COLOR_TYPE_PALETTE) {
            int j, t = -1;
            for (j = 0; j < num_trans; ++j) {
                if (trans[j] == 0) {
                    if (t >= 0) break;
                    t = j;
                } else if (trans[j] != 255) {
                    break;
                }
            }
            if (j == num_trans)
                key_index = t;
            else
                png_set_expand(png);
            key_colour = nullptr;
        } else if (color == PNG_COLOR_TYPE_RGB && depth == 8) {
            key_index = 0;  // mapped below, once the surface's format exists
        } else {
            key_colour = nullptr;
            png_set_tRNS_to_alpha(png);
            if (color == PNG_COLOR_TYPE_GRAY) png_set_gray_to_rgb(png);
        }
    }
    if (color == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
#ifdef ORVIX_32BIT_SURFACES
    // Where surfaces are all 32-bit and have no colour key, every PNG is
    // read as RGBA, and a transparent
    // palette entry or colour becomes alpha 0, which blits as the key does
    // (the display format gives keyed pixels alpha 0 natively too).
    png_set_expand(png);
    png_set_gray_to_rgb(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
#endif

    png_read_update_info(png, info);
    png_get_IHDR(png, info, &width, &height, &depth, &color, &interlace, nullptr, nullptr);
    int channels = png_get_channels(png, info);
    Uint32 rmask = 0, gmask = 0, bmask = 0, amask = 0;
    if (color != PNG_COLOR_TYPE_PALETTE) {
#if SDL_BYTEORDER == SDL_LIL_ENDIAN
        rmask = 0x000000FF;
        gmask = 0x0000FF00;
        bmask = 0x00FF0000;
        amask = channels == 4 ? 0xFF000000 : 0;
#else
        int s = channels == 4 ? 0 : 8;
        rmask = 0xFF000000 >> s;
        gmask = 0x00FF0000 >> s;
        bmask = 0x0000FF00 >> s;
        amask = 0x000000FF >> s;
#endif
    }
    // libpng keeps sizes below its own limit of a million pixels a side.
    surface = SDL_CreateRGBSurface(SDL_SWSURFACE, int(width), int(height), depth * channels, rmask, gmask, bmask, amask);
    if (!surface) png_error(png, "no surface");
    SDL_Surface *s = surface;
#ifndef ORVIX_32BIT_SURFACES
    if (key_index >= 0) {
        Uint32 key = Uint32(key_index);
        if (key_colour)
            key = SDL_MapRGB(s->format, Uint8(key_colour->red), Uint8(key_colour->green), Uint8(key_colour->blue));
        SDL_SetColorKey(s, SDL_SRCCOLORKEY, key);
    }
#endif
    rows = static_cast<png_bytep *>(malloc(sizeof(png_bytep) * (height ? height : 1)));
    if (!rows) png_error(png, "no memory");
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = static_cast<Uint8 *>(s->pixels) + y * s->pitch;
    // Only the image is read: chunks after it play no part, as in SDL_image.
    png_read_image(png, rows);

    if (SDL_Palette *palette = s->format->palette) {
        png_colorp plte;
        int num = 0;
        if (color == PNG_COLOR_TYPE_GRAY) {
            palette->ncolors = 256;
            for (int i = 0; i < 256; ++i)
                palette->colors[i].r = palette->colors[i].g = palette->colors[i].b = Uint8(i);
        } else if (png_get_PLTE(png, info, &plte, &num) && num > 0) {
            palette->ncolors = num;
            for (int i = 0; i < num; ++i) {
                palette->colors[i].r = plte[i].red;
                palette->colors[i].g = plte[i].green;
                palette->colors[i].b = plte[i].blue;
            }
        }
    }
    free(rows);
    png_destroy_read_struct(&png, &info, nullptr);
    return s;
}

// ---------------------------------------------------------------------------
// Files into memory.
namespace {

struct FileBytes {
    Uint8 *data;
    size_t size;
};

// The whole of a regular file, or false. The caller frees data.
bool read_file(const char *path, FileBytes *out) {
    FILE *f = fopen(path, "rb");
    if (!f) return false;
    struct stat st;
    bool ok = fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= 0;
    size_t n = ok ? size_t(st.st_size) : 0;
    Uint8 *buf = ok ? static_cast<Uint8 *>(malloc(n ? n : 1)) : nullptr;
    ok = buf && fread(buf, 1, n, f) == n;
    fclose(f);
    if (!ok) {
        free(buf);
        return false;
    }
    *out = {buf, n};
    return true;
}

// On Windows a Linux path such as "/usr/share/fonts/x.ttf" names the root of
// the current drive. A game packed for Windows (scripts/windows.sh) carries
// such files in its own folder, at the same path less the leading slash, and
// runs from that folder: a rooted path that names no file is looked up there.
const char *game_path(const char *path) {
#ifdef _WIN32
    if ((path[0] == '/' || path[0] == '\\') && path[1] != '/' && path[1] != '\\' && _access(path, 0) != 0)
        return path + 1;
#endif
    return path;
}

const char *extension(const char *path) {
    const char *dot = strrchr(path, '.');
    return dot ? dot + 1 : nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------
// Images. The format is found as SDL_image finds it: the extension picks TGA,
// which has no signature; otherwise each reader's own test, in its order.

// Turns a CMYK JPEG's channels, as SDL_image and the other builds' decoders
// give them, into opaque RGB, in place.
static void cmyk_to_rgb(SDL_Surface *s, bool inverted) {
    if (s->format->BytesPerPixel != 4 || SDL_LockSurface(s) < 0) return;
    for (int y = 0; y < s->h; ++y) {
        Uint8 *p = static_cast<Uint8 *>(s->pixels) + y * s->pitch;
        for (int x = 0; x < s->w; ++x, p += 4) {
            Uint32 c = p[0], m = p[1], ye = p[2], k = p[3];
            if (!inverted) {
                c = 255 - c;
                m = 255 - m;
                ye = 255 - ye;
                k = 255 - k;
            }
            // (255 - ink) * (255 - black) / 255, rounded
            Uint32 v = SDL_MapRGBA(s->format, Uint8((c * k + 127) / 255), Uint8((m * k + 127) / 255),
                                   Uint8((ye * k + 127) / 255), 255);
            memcpy(p, &v, 4);
        }
    }
    SDL_UnlockSurface(s);
}

#ifdef ORVIX_ADDONS
// Without SDL_image the add-ons read BMP, GIF, JPEG, PCX, XPM, TGA, PNM, XV,
// lossy WebP and Windows icons as it does (addons/image.cpp); PNG never
// reaches them. The files the checks above refuse are refused
// the same way, TGA is still chosen by the extension, PNG is decoded here as
// natively, a BMP's fourth byte is alpha only where the file has an alpha
// mask, and CMYK JPEG becomes RGB, as natively.
static SDL_Surface *read_image(const FileBytes &f, SDL_RWops *rw, const char *path) {
    const char *ext = extension(path);
    if (ext && strcasecmp(ext, "TGA") == 0) return IMG_LoadTGA_RW(rw);
    if (f.size >= 4 && memcmp(f.data, "\x89PNG", 4) == 0) return decode_png(f.data, f.size);
    if (IMG_isGIF(rw) && !gif_readable(f.data, f.size, nullptr)) return nullptr;
    if (IMG_isPCX(rw) && !pcx_readable(f.data, f.size)) return nullptr;
    if (IMG_isXPM(rw) && !xpm_readable(f.data, f.size, nullptr)) return nullptr;
    SDL_Surface *s = IMG_Load_RW(rw, 0);
    if (s && bmp_without_alpha(f.data, f.size)) make_opaque(s);
    // The add-ons' JPEG reader leaves a CMYK file's channels as they are.
    int cmyk = s ? jpeg_cmyk_kind(f.data, f.size) : 0;
    if (cmyk) cmyk_to_rgb(s, cmyk == 2);
    return s;
}
#else
// - null write (GIF, XPM): SDL_image's readers use the surface they ask SDL
//   for without looking whether they got one; SDL refuses rows wider than its
//   16-bit pitch can hold, and sizes it cannot allocate. Guard: the same
//   request, made first, tells whether theirs will succeed.
static bool surface_possible(const ImageSize &size) {
    SDL_Surface *probe = SDL_CreateRGBSurface(SDL_SWSURFACE, size.w, size.h, size.depth, 0, 0, 0, 0);
    if (probe) SDL_FreeSurface(probe);
    return probe != nullptr;
}

// BMP palettes: SDL_image copies each palette entry's fourth byte, reserved
// and 0 in the files, into the colour's `unused` field, which sdl12-compat
// takes as the colour's alpha: a 1-, 4- or 8-bit BMP (OS/2 2.x ones too)
// would load fully transparent there, and opaque on classic SDL, which
// ignores the field. Guard: every palette colour opaque (a colour key, where
// the surface has one, still makes its pixels transparent). It can go when
// sdl12-compat ignores the field, as SDL 1.2 did.
static void palette_opaque(SDL_Surface *s) {
    if (SDL_Palette *p = s->format->palette)
        for (int i = 0; i < p->ncolors; ++i) p->colors[i].unused = 255;
}

static SDL_Surface *read_image(const FileBytes &f, SDL_RWops *rw, const char *path) {
    SDL_Surface *s = nullptr;
    ImageSize size = {0, 0, 0};
    const char *ext = extension(path);
    if (ext && strcasecmp(ext, "TGA") == 0) {
        s = IMG_LoadTGA_RW(rw);
    } else if (IMG_isCUR(rw) || IMG_isICO(rw)) {
        s = IMG_Load_RW(rw, 0);
    } else if (IMG_isBMP(rw)) {
        s = IMG_LoadBMP_RW(rw);
        if (s && bmp_without_alpha(f.data, f.size)) make_opaque(s);
        if (s) palette_opaque(s);
    } else if (IMG_isGIF(rw)) {
        s = gif_readable(f.data, f.size, &size) && surface_possible(size) ? IMG_LoadGIF_RW(rw) : nullptr;
    } else if (IMG_isJPG(rw)) {
        s = IMG_LoadJPG_RW(rw);
        int cmyk = s ? jpeg_cmyk_kind(f.data, f.size) : 0;
        if (cmyk) cmyk_to_rgb(s, cmyk == 2);
    } else if (IMG_isLBM(rw)) {
        s = IMG_LoadLBM_RW(rw);
    } else if (IMG_isPCX(rw)) {
        s = pcx_readable(f.data, f.size) ? IMG_LoadPCX_RW(rw) : nullptr;
    } else if (IMG_isPNG(rw)) {
        s = decode_png(f.data, f.size);
    } else if (IMG_isXPM(rw)) {
        s = xpm_readable(f.data, f.size, &size) && surface_possible(size) ? IMG_LoadXPM_RW(rw) : nullptr;
    } else {
        // PNM, TIFF, XCF, XV and WEBP, or no known format at all.
        s = IMG_Load_RW(rw, 0);
    }
    return s;
}
#endif

SDL_Surface *load_image(const char *path) {
    path = game_path(path);
    FileBytes f;
    if (!read_file(path, &f)) return nullptr;
    SDL_RWops *rw = SDL_RWFromConstMem(f.data, int(f.size > 0x7fffffff ? 0x7fffffff : f.size));
    // No stream: fails like an unreadable file.
    SDL_Surface *s = rw ? read_image(f, rw, path) : nullptr;
    if (rw) SDL_RWclose(rw);
    free(f.data);
    return s;
}

// ---------------------------------------------------------------------------
// Sounds and music. Every sound is decoded whole by the mixer when it loads
// and then converted by SDL to the mixer's format; music is decoded while it
// plays and converted buffer by buffer. What the readers take from a file
// therefore reaches two kinds of code: the reader's own arithmetic, and
// SDL's converter, whose limits sample_format_ok states (above). Each format
// below lists the faults of its reader, each with the guard that stands for
// it; a guard can go once the library it names is fixed (the versions are
// Debian 12's: SDL 1.2.15, sdl12-compat 1.2.60 over SDL 2.26, SDL_mixer
// 1.2.12, libvorbis 1.3.7, libFLAC 1.4.2).
//
// The sound reader is picked by the first four bytes (RIFF or WAVE: SDL's WAV
// reader; FORM: AIFF; OggS: Ogg Vorbis; fLaC: FLAC; Crea: VOC); the music
// reader by the extension (.wav, .ogg, .flac, .mid/.midi/.kar,
// .mp3/.mpg/.mpeg/.mad), otherwise by the first bytes (RIFF ... WAVE or FORM:
// the WAV and AIFF reader; OggS, fLaC, MThd, an MPEG frame), otherwise MOD.
// MP3 (libmad: rates and channels from a fixed table), MIDI and MOD (mixed at
// the mixer's own rate) never reach SDL's converter with a rate of their own.
//
// The browser build runs every check below except the FLAC sound dry run
// (it has no libFLAC, and decodes FLAC itself): the browser decodes the
// sounds, so the checks guard no reader there, but the same file is refused
// by both builds alike.
namespace {

// ---------------------------------------------------------------------------
// WAV and AIFF music, and AIFF sounds: the mixer's own readers (SDL_mixer
// 1.2.12 wavestream.c and load_aiff.c).
// - hang: both read chunk headers until they find what they look for, without
//   noticing the end of the file, so a missing chunk makes them loop on stale
//   bytes. Guard: the chunks they look for are all inside the file.
// - abort (double free): the WAV music reader frees its format chunk twice
//   when another chunk than fact or LIST comes first. Guard: the format chunk
//   comes first.
// - read past the chunk: the WAV music reader reads 16 bytes of the format
//   chunk whatever its length. Guard: at least 16 bytes.
// - the rate and channel count go to SDL's converter. Guard: sample_format_ok.

// The music reader for RIFF WAVE files.
bool wav_music_ok(const Source &src) {
    Uint8 h[16];
    if (!src.read(0, h, 12) || le32(h) != tag("RIFF") || le32(h + 8) != tag("WAVE")) return false;
    Uint64 pos = 12;
    Uint32 magic, len;
    for (;;) {  // skipping fact and LIST chunks, which are read whole
        if (!src.read(pos, h, 8)) return false;
        magic = le32(h);
        len = le32(h + 4);
        if (len > src.size - pos - 8) return false;
        if (magic != tag("fact") && magic != tag("LIST")) break;
        pos += 8 + Uint64(len);
    }
    if (magic != tag("fmt ") || len < 16 || !src.read(pos + 8, h, 16)) return false;
    if (le16(h) != 1 || (le16(h + 14) != 8 && le16(h + 14) != 16)) return false;
    if (!sample_format_ok(le32(h + 4), le16(h + 2))) return false;
    pos += 8 + Uint64(len);
    for (;;) {  // then to the data chunk, skipping the others
        if (!src.read(pos, h, 8)) return false;
        len = le32(h + 4);
        if (len > 0x7fffffff) return false;  // read back as a negative int: an error
        if (le32(h) == tag("data")) return true;
        pos += 8 + Uint64(len);
    }
}

// AIFF (and, for sounds, 8SVX): chunks until the format and the samples are
// found. The sound reader skips the pad byte of odd-length chunks, the music
// reader does not.
bool aiff_ok(const Source &src, bool sound) {
    Uint8 h[18];
    if (!src.read(0, h, 12) || le32(h) != tag("FORM")) return false;
    Uint32 kind = le32(h + 8);
    bool svx = sound && kind == tag("8SVX");
    if (kind != tag("AIFF") && !svx) return false;
    bool have_format = false, have_data = false;
    Uint32 rate = 0, channels = 0, bits = 0;
    Uint64 pos = 12;
    while (!have_format || !have_data) {
        if (!src.read(pos, h, 8)) return false;
        Uint32 type = le32(h), len = be32(h + 4);
        if (len == 0) return false;
        if (type == tag(svx ? "VHDR" : "COMM")) {
            if (!src.read(pos + 8, h, svx ? 14 : 18)) return false;
            if (svx) {
                rate = be16(h + 12);
                channels = 1;
                bits = 8;
            } else {
                channels = be16(h);
                bits = be16(h + 6);
                // The rate is an 80-bit float: exponent, then the mantissa.
                Uint32 exponent = be16(h + 8), mantissa = be32(h + 10);
                rate = (exponent & 0x8000) || exponent < 0x3FFF || exponent > 0x3FFF + 31
                           ? 0 : mantissa >> (31 - (exponent - 0x3FFF));
            }
            have_format = true;
        } else if (type == tag(svx ? "BODY" : "SSND")) {
            if (!svx && !src.read(pos + 8, h, 8)) return false;
            have_data = true;
        }
        pos += 8 + Uint64(len) + (sound ? (len & 1) : 0);
    }
    return (bits == 8 || bits == 16) && sample_format_ok(rate, channels);
}

// ---------------------------------------------------------------------------
// WAV sounds: SDL's own reader (SDL_LoadWAV_RW).
// - the rate and channel count go to SDL's converter. Guard: sample_format_ok
//   on the first format chunk.
// - SIGFPE (classic SDL 1.2.15): MS and IMA ADPCM divide the data's length by
//   the block size. Guard: a block size of at least 1. (Debian's classic SDL
//   checks the rest of the ADPCM fields itself: blocks against their samples
//   and its buffers, predictors, step indices, the format chunk's length; SDL
//   2's reader, under sdl12-compat, checks all of them.)
constexpr Uint32 kMsAdpcm = 2, kImaAdpcm = 0x11;

bool wav_sound_ok(const Source &src) {
    Uint8 h[16];
    if (!src.read(0, h, 12) || le32(h + 8) != tag("WAVE")) return false;
    for (Uint64 pos = 12; src.read(pos, h, 8); pos += 8 + Uint64(le32(h + 4))) {
        if (le32(h) != tag("fmt ")) continue;
        if (le32(h + 4) < 16 || !src.read(pos + 8, h, 16)) return false;
        bool adpcm = le16(h) == kMsAdpcm || le16(h) == kImaAdpcm;
        return sample_format_ok(le32(h + 4), le16(h + 2)) && !(adpcm && le16(h + 12) == 0);
    }
    return true;  // no format chunk: SDL's reader refuses the file itself
}

// ---------------------------------------------------------------------------
// Ogg Vorbis sounds and music: the mixer's Ogg readers over libvorbisfile
// (SDL_mixer 1.2.12 load_ogg.c and music_ogg.c).
// - crash, corrupted memory: the rate and channel count of the stream (and,
//   for music, of every chained stream after it) go to SDL's converter
//   unchecked; libvorbis only refuses 0. Classic SDL overruns its table of
//   conversion steps at 1 or 2 Hz, 2^31 Hz and for a well-formed file at
//   50 Hz; sdl12-compat corrupts its heap at 2^31 Hz and aborts on music of
//   more than 8 channels (9 as sox writes it). Guard: sample_format_ok on
//   every Vorbis identification header in the file: the first packet of each
//   page that begins a stream. Pages are found as libogg finds them, by their capture
//   pattern anywhere in the file (their checksums are not checked: a page
//   libogg would skip is checked all the same).
bool vorbis_page_ok(const Source &src, Uint64 at) {
    Uint8 h[27 + 255];
    if (!src.read(at, h, 27) || !(h[5] & 2)) return true;  // cut, or not the first page of a stream
    size_t segments = h[26];
    if (!src.read(at + 27, h + 27, segments)) return true;
    Uint32 body = 0;
    for (size_t i = 0; i < segments; ++i) body += h[27 + i];
    Uint8 id[16];  // type 1, "vorbis", version, channels, rate
    if (body < sizeof id || !src.read(at + 27 + segments, id, sizeof id)) return true;
    if (id[0] != 1 || memcmp(id + 1, "vorbis", 6) != 0) return true;  // another codec
    return sample_format_ok(le32(id + 12), id[11]);
}

bool ogg_ok(const Source &src) {
    Uint8 buf[65536];
    for (Uint64 at = 0; at < src.size;) {
        size_t n = src.size - at < sizeof buf ? size_t(src.size - at) : sizeof buf;
        if (!src.read(at, buf, n)) return false;
        for (size_t i = 0; i + 4 <= n; ++i)
            if (buf[i] == 'O' && memcmp(buf + i, "OggS", 4) == 0 && !vorbis_page_ok(src, at + i)) return false;
        if (at + n >= src.size) break;
        at += n - 3;  // a pattern across the boundary is found in the next block
    }
    return true;
}

// ---------------------------------------------------------------------------
// FLAC music: the mixer's FLAC music reader over libFLAC (music_flac.c).
// - crash: the stream header's (STREAMINFO's) rate goes to SDL's converter
//   unchecked once a frame is decoded, and libFLAC lets any rate through:
//   sdl12-compat aborts at 0 Hz, classic SDL overruns its table of conversion
//   steps at rates far from the mixer's. Guard: sample_format_ok on
//   every STREAMINFO block, found as libFLAC finds it: after any ID3v2 tags,
//   the "fLaC" signature and the metadata blocks up to the last one, all
//   inside the file. (libFLAC would also search through junk before the
//   signature; such a file is refused here.)
bool flac_music_ok(const Source &src) {
    Uint8 h[14];
    Uint64 pos = 0;
    while (src.read(pos, h, 10) && memcmp(h, "ID3", 3) == 0)  // size: four 7-bit bytes
        pos += 10 + (Uint64(h[6] & 0x7f) << 21 | Uint64(h[7] & 0x7f) << 14 | Uint64(h[8] & 0x7f) << 7 | (h[9] & 0x7f));
    if (!src.read(pos, h, 4) || memcmp(h, "fLaC", 4) != 0) return false;
    for (pos += 4;;) {
        if (!src.read(pos, h, 4)) return false;
        Uint32 type = h[0] & 0x7f, len = Uint32(h[1]) << 16 | Uint32(h[2]) << 8 | h[3];
        bool last = h[0] & 0x80;
        if (len > src.size - pos - 4) return false;
        if (type == 0) {  // STREAMINFO: rate (20 bits), channels - 1 (3 bits) at byte 10
            if (len < 34 || !src.read(pos + 4, h, 14)) return false;
            Uint32 rate = Uint32(h[10]) << 12 | Uint32(h[11]) << 4 | h[12] >> 4;
            if (!sample_format_ok(rate, ((h[12] >> 1) & 7) + 1)) return false;
        }
        pos += 4 + Uint64(len);
        if (last) return true;
    }
}

// ---------------------------------------------------------------------------
// VOC sounds: the mixer's VOC reader (load_voc.c), walked block by block as
// it walks them, with the sample format it keeps.
// - SIGFPE: an extended block (type 8) divides its rate by the channel count,
//   which for mono is still 0 unless an earlier block set it; a silence block
//   (type 3) after a rate of 256 Hz divides by 256 - 256. Guard: both refused.
// - division by memory nothing wrote: sound that starts with a silence or
//   continuation block (types 3 and 2) takes its sample size and channel
//   count from memory no block set; the length is divided by that size at
//   the end. Guard: the first samples come from a data block (type 1 or 9).
// - asks for 4 GiB: a data block shorter than its own header (type 1: 2
//   bytes, type 9: 12) leaves a negative length. Guard: refused.
// - plays memory nothing wrote: a data block running past the end of the
//   file leaves the rest of its buffer unwritten. Guard: refused.
// - writes past its buffer: silence blocks (64 KiB each from 7 bytes) can add
//   up past the 32-bit length, whose buffer then wraps small. Guard: at most
//   2 GiB of samples.
// - the rate and channel count go to SDL's converter (type 9: any 32-bit
//   rate, 0 to 255 channels; SIGSEGV on classic SDL at 1, 2 and 2^31 Hz, and
//   0 channels). Guard: sample_format_ok on the format the reader keeps.
struct VocRun {
    const Uint8 *d;
    size_t n, pos;
    Uint32 rest;           // bytes left in the current block
    Uint32 rate;           // the rate code, kNoRate before the first
    Uint32 size;           // bytes per sample, 0 while no data block has set it
    Uint8 channels;        // of the last data block
    bool silent, extended;
    Uint32 kept_rate;      // the format handed on: rate (an int), channels
    Uint8 kept_channels;

    bool have(size_t k) const { return n - pos >= k; }
    Uint8 byte() { return d[pos++]; }
};
constexpr Uint32 kNoRate = 0xFFFFFFFF;

enum class VocStep { Ok, Refused, Fault };  // Refused: the reader stops there cleanly

// The reader's voc_get_block, step for step (a field it sets before it gives
// up stays set): skips to the next block that holds samples or silence.
VocStep voc_block(VocRun &v) {
    v.silent = false;
    while (v.rest == 0) {
        if (!v.have(1)) return VocStep::Ok;  // the end of the file
        Uint8 type = v.byte();
        if (type == 0) return VocStep::Ok;  // the terminator
        if (!v.have(3)) return VocStep::Ok;
        Uint32 len = le16(v.d + v.pos) | Uint32(v.d[v.pos + 2]) << 16;
        v.pos += 3;
        switch (type) {
        case 1: {  // data: rate code, codec
            if (!v.have(1)) return VocStep::Refused;
            Uint8 code = v.byte();
            if (!v.extended) {
                if (code == 0 || (v.rate != kNoRate && code != v.rate)) return VocStep::Refused;
                v.rate = code;
                v.kept_rate = Uint16(Uint32(1000000.0 / (256 - code)));
                v.channels = 1;
            }
            if (!v.have(1) || v.byte() != 0) return VocStep::Refused;
            v.extended = false;
            if (len < 2) return VocStep::Fault;
            v.rest = len - 2;
            v.size = 1;
            return VocStep::Ok;
        }
        case 9: {  // data: rate, bits, channels, codec and 4 reserved bytes
            if (!v.have(4)) return VocStep::Refused;
            Uint32 rate = le32(v.d + v.pos);
            v.pos += 4;
            if (rate == 0 || (v.rate != kNoRate && rate != v.rate)) return VocStep::Refused;
            v.rate = v.kept_rate = rate;
            if (!v.have(1)) return VocStep::Refused;
            Uint8 bits = v.byte();
            if (bits != 8 && bits != 16) return VocStep::Refused;
            v.size = bits / 8;
            if (!v.have(1)) return VocStep::Refused;
            v.channels = v.byte();
            if (!v.have(6)) return VocStep::Refused;
            v.pos += 6;
            if (len < 12) return VocStep::Fault;
            v.rest = len - 12;
            return VocStep::Ok;
        }
        case 2:  // continuation
            v.rest = len;
            return VocStep::Ok;
        case 3: {  // silence: length, rate code
            if (!v.have(2)) return VocStep::Refused;
            Uint32 period = le16(v.d + v.pos);
            v.pos += 2;
            if (!v.have(1)) return VocStep::Refused;
            Uint8 code = v.byte();
            if (code == 0) return VocStep::Refused;
            if (v.rate != kNoRate && code != v.rate) {
                if (v.rate == 256) return VocStep::Fault;
                period = Uint16(period * (256 - code) / (256 - v.rate));
            } else {
                v.rate = code;
            }
            v.rest = period;
            v.silent = true;
            return VocStep::Ok;
        }
        case 8: {  // extended: rate, codec, stereo flag; a data block follows
            v.extended = true;
            if (!v.have(2)) return VocStep::Refused;
            Uint32 rate = le16(v.d + v.pos);
            v.pos += 2;
            if (rate == 0 || (v.rate != kNoRate && rate != v.rate)) return VocStep::Refused;
            v.rate = rate;
            if (!v.have(1) || v.byte() != 0 || !v.have(1)) return VocStep::Refused;
            if (v.byte()) v.kept_channels = 2;
            if (v.kept_channels == 0) return VocStep::Fault;
            v.kept_rate = Uint32(256000000 / (65536 - v.rate) / v.kept_channels);
            break;
        }
        case 4:  // marker: 2 bytes, then skipped as any other block
            if (!v.have(2)) return VocStep::Refused;
            v.pos += 2;
            /* fall through */
        default:  // text, repeat loops, unknown blocks: skipped
            if (!v.have(len)) return VocStep::Refused;
            v.pos += len;
            break;
        }
    }
    return VocStep::Ok;
}

bool voc_ok(const Uint8 *d, size_t n) {
    // Not a VOC file, or its first block beyond the end: the reader refuses it.
    if (n < 22 || memcmp(d, "Creative Voice File\032", 20) != 0 || le16(d + 20) > n) return true;
    VocRun v = {d, n, le16(d + 20), 0, kNoRate, 0, 0, false, false, 0, 0};
    VocStep step = voc_block(v);
    if (step != VocStep::Ok || v.rate == kNoRate) return step != VocStep::Fault;
    if (v.size == 0) return false;
    if (v.kept_channels == 0) v.kept_channels = v.channels;
    // The reader sizes its buffer by each block it reads between two calls of
    // voc_read, which fetches a block itself only when none is pending.
    Uint64 total = v.rest;
    for (;;) {
        if (v.rest == 0) {
            step = voc_block(v);
            if (step == VocStep::Fault) return false;
            if (step == VocStep::Refused || v.rest == 0) break;  // the sound ends here
            return false;  // samples written past the buffer, which was sized without them
        }
        Uint32 done = v.rest;
        if (!v.silent) {
            if (v.rest > v.n - v.pos) return false;  // cut: the rest of the buffer stays unwritten
            v.pos += v.rest;
            if (v.size == 2) done >>= 1;
        }
        v.rest = 0;
        if (done == 0) break;
        step = voc_block(v);
        if (step != VocStep::Ok) return step == VocStep::Refused;
        total += v.rest;
        if (total > 0x7fffffff) return false;
    }
    return sample_format_ok(v.kept_rate, v.kept_channels);
}

}  // namespace

bool wav_music_readable(const Uint8 *d, size_t n) { return wav_music_ok({d, nullptr, n}); }
bool aiff_readable(const Uint8 *d, size_t n, bool sound) { return aiff_ok({d, nullptr, n}, sound); }
bool wav_sound_readable(const Uint8 *d, size_t n) { return wav_sound_ok({d, nullptr, n}); }
bool ogg_readable(const Uint8 *d, size_t n) { return ogg_ok({d, nullptr, n}); }
bool flac_music_readable(const Uint8 *d, size_t n) { return flac_music_ok({d, nullptr, n}); }
bool voc_readable(const Uint8 *d, size_t n) { return voc_ok(d, n); }

// ---------------------------------------------------------------------------
// FLAC sounds: the mixer's FLAC sound reader over libFLAC (load_flac.c). A
// dry run of the same decoder over the same bytes sees the same frames.
// - null write: the sample buffer is allocated when a frame starting at
//   sample 0 arrives, and written by every frame; a stream whose first frame
//   starts later is written through a null pointer. Guard: the frames start
//   at sample 0.
// - writes past the buffer: one with more samples than its header declares
//   is written past it. Guard: the frames add up to exactly the declared
//   length, which fits the reader's 32-bit size.
// - plays memory nothing wrote: one with fewer samples, or frames that fail
//   to decode, leaves the rest of the buffer unwritten. Guard: the same, and
//   no decoding error.
// - the rate and channel count go to SDL's converter. Guard: sample_format_ok.
// The browser build has neither libFLAC nor this reader: the browser decodes
// FLAC itself (web/mixer.cpp), so there is nothing to guard there, and a FLAC
// sound refused natively may play in the browser.
#ifndef ORVIX_BROWSER_DECODES
namespace {

struct FlacRun {
    const Uint8 *data;
    size_t size;
    size_t pos;
    bool have_info;
    Uint64 total;  // samples per channel, from the stream header
    unsigned channels, bits, rate;
    bool allocated;
    Uint64 written;  // bytes the mixer would have written
    bool bad;
};

FLAC__StreamDecoderReadStatus flac_read(const FLAC__StreamDecoder *, FLAC__byte out[], size_t *bytes, void *p) {
    auto *run = static_cast<FlacRun *>(p);
    size_t n = run->size - run->pos;
    if (*bytes < n) n = *bytes;
    memcpy(out, run->data + run->pos, n);
    run->pos += n;
    *bytes = n;
    return n ? FLAC__STREAM_DECODER_READ_STATUS_CONTINUE : FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
}

FLAC__StreamDecoderWriteStatus flac_write(const FLAC__StreamDecoder *, const FLAC__Frame *frame,
                                          const FLAC__int32 *const[], void *p) {
    auto *run = static_cast<FlacRun *>(p);
    // The mixer itself stops at these, cleanly.
    if (!run->have_info || run->total == 0 || run->channels != 2 || run->bits != 16)
        return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    if (frame->header.number.sample_number == 0) {
        run->allocated = true;
        run->written = 0;
    }
    run->written += Uint64(frame->header.blocksize) * 4;
    if (!run->allocated || run->written > run->total * 4) {
        run->bad = true;
        return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    }
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void flac_metadata(const FLAC__StreamDecoder *, const FLAC__StreamMetadata *m, void *p) {
    auto *run = static_cast<FlacRun *>(p);
    if (m->type != FLAC__METADATA_TYPE_STREAMINFO) return;
    run->have_info = true;
    run->total = m->data.stream_info.total_samples;
    run->channels = m->data.stream_info.channels;
    run->bits = m->data.stream_info.bits_per_sample;
    run->rate = m->data.stream_info.sample_rate;
}

void flac_error(const FLAC__StreamDecoder *, FLAC__StreamDecoderErrorStatus, void *p) {
    static_cast<FlacRun *>(p)->bad = true;
}

}  // namespace

bool flac_sound_readable(const Uint8 *d, size_t n) {
    FLAC__StreamDecoder *dec = FLAC__stream_decoder_new();
    if (!dec) return false;
    FlacRun run = {d, n, 0, false, 0, 0, 0, 0, false, 0, false};
    bool ok = FLAC__stream_decoder_init_stream(dec, flac_read, nullptr, nullptr, nullptr, nullptr, flac_write,
                                               flac_metadata, flac_error, &run) == FLAC__STREAM_DECODER_INIT_STATUS_OK &&
              FLAC__stream_decoder_process_until_end_of_stream(dec);
    FLAC__stream_decoder_finish(dec);
    FLAC__stream_decoder_delete(dec);
    // The mixer keeps the buffer size in 32 bits.
    return ok && !run.bad && run.allocated && run.total <= 0xffffffffu / 4 && run.written == run.total * 4 &&
           sample_format_ok(run.rate, run.channels);
}
#endif

// ---------------------------------------------------------------------------
// Sounds: the mixer picks its reader by the first four bytes.
Mix_Chunk *load_sound(const char *path) {
    path = game_path(path);
    FileBytes f;
    if (!read_file(path, &f)) return nullptr;
    Source src = {f.data, nullptr, f.size};
    Uint32 magic = f.size >= 4 ? le32(f.data) : 0;
    bool ok = true;
    if (magic == tag("RIFF") || magic == tag("WAVE"))
        ok = wav_sound_ok(src);
    else if (magic == tag("FORM"))
        ok = aiff_ok(src, true);
    else if (magic == tag("OggS"))
        ok = ogg_ok(src);
    else if (magic == tag("Crea"))
        ok = voc_ok(f.data, f.size);
#ifndef ORVIX_BROWSER_DECODES
    else if (magic == tag("fLaC"))
        ok = flac_sound_readable(f.data, f.size);
#endif
    Mix_Chunk *chunk = nullptr;
    if (ok) {
        SDL_RWops *rw = SDL_RWFromConstMem(f.data, int(f.size > 0x7fffffff ? 0x7fffffff : f.size));
        chunk = rw ? Mix_LoadWAV_RW(rw, 1) : nullptr;
    }
    free(f.data);
    return chunk;
}

// Music: the mixer picks its reader by the extension, then by the first
// bytes, and streams the file from disk while it plays.
Mix_Music *load_music(const char *path) {
    path = game_path(path);
    FILE *file = fopen(path, "rb");
    if (!file) return nullptr;
    struct stat st;
    bool ok = fstat(fileno(file), &st) == 0 && S_ISREG(st.st_mode);
    Source src = {nullptr, file, ok ? Uint64(st.st_size) : 0};
    const char *ext = extension(path);
    auto is = [ext](const char *e) { return ext && strcasecmp(ext, e) == 0; };
    enum { Other, Wav, Ogg, Flac } reader = is("WAV") ? Wav : is("OGG") ? Ogg : is("FLAC") ? Flac : Other;
    Uint8 h[12];
    bool by_magic = !(reader != Other || is("MID") || is("MIDI") || is("KAR") || is("MPG") || is("MPEG") ||
                      is("MP3") || is("MAD"));
    if (ok && by_magic && src.read(0, h, 12)) {
        if ((le32(h) == tag("RIFF") && le32(h + 8) == tag("WAVE")) || le32(h) == tag("FORM"))
            reader = Wav;
        else if (le32(h) == tag("OggS"))
            reader = Ogg;
        else if (le32(h) == tag("fLaC"))
            reader = Flac;
    }
    if (ok && reader == Wav) {
        // The WAV reader looks at the first four bytes only.
        ok = src.read(0, h, 4) && (le32(h) == tag("FORM") ? aiff_ok(src, false) : wav_music_ok(src));
    } else if (ok && reader == Ogg) {
        ok = ogg_ok(src);
    } else if (ok && reader == Flac) {
        ok = flac_music_ok(src);
    }
    fclose(file);
    return ok ? Mix_LoadMUS(path) : nullptr;
}

// ---------------------------------------------------------------------------
// Fonts, read by SDL_ttf over FreeType. FreeType looks at a font without
// outlines first, through the same calls; outline fonts are not looked at
// further, and a file FreeType cannot open at all is left to SDL_ttf, which
// refuses it with its own error.
// - reads before its list: SDL_ttf sizes a font without outlines by picking
//   one of its bitmap strikes, with the point size as the strike's index: a
//   negative size, or a font with no strike at all. Guard: negative sizes
//   pick the first strike; a font without one is refused.
// - draws nothing: its size request fails for bitmap-only OpenType fonts
//   (OTB), whose glyphs then load as empty outlines. Guard: every glyph must
//   load as a bitmap.
// - null read: it copies a bitmap glyph's rows without looking whether
//   FreeType gave it any pixel memory (a BDF glyph with a size but no bitmap).
//   Guard: every glyph with rows has pixel memory.
bool font_usable(const Uint8 *d, size_t n, int *size) {
    FT_Library lib;
    if (FT_Init_FreeType(&lib) != 0) return true;
    FT_Face face;
    bool ok = true;
    if (FT_New_Memory_Face(lib, d, FT_Long(n), 0, &face) == 0 && !FT_IS_SCALABLE(face)) {
        int strike = *size < 0 ? 0 : *size;
        if (strike >= face->num_fixed_sizes) strike = face->num_fixed_sizes - 1;
        ok = strike >= 0;
        if (ok) {
            // SDL_ttf's own request, its result unchecked as there.
            FT_Set_Pixel_Sizes(face, FT_UInt(face->available_sizes[strike].height),
                               FT_UInt(face->available_sizes[strike].width));
            *size = strike;
        }
        for (FT_Long i = 0; ok && i < face->num_glyphs; ++i) {
            if (FT_Load_Glyph(face, FT_UInt(i), FT_LOAD_DEFAULT) != 0) continue;  // SDL_ttf skips it too
            const FT_GlyphSlot g = face->glyph;
            ok = g->format == FT_GLYPH_FORMAT_BITMAP &&
                 (g->bitmap.rows == 0 || g->bitmap.width == 0 || g->bitmap.buffer != nullptr);
        }
    }
    FT_Done_FreeType(lib);  // closes the face too
    return ok;
}

TTF_Font *open_font(const char *path, int size) {
    path = game_path(path);
    FileBytes f;
    if (read_file(path, &f)) {
        bool ok = font_usable(f.data, f.size, &size);
        free(f.data);
        if (!ok) {
            SDL_SetError("Unusable bitmap font");
            return nullptr;
        }
    }
    return TTF_OpenFont(path, size);
}

}  // namespace orvix
