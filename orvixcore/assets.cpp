// Asset files: every image, sound, music and font file a script names is read
// and checked here before a library decodes it, so that a damaged or unusual
// file either loads with the right contents or fails like a missing file,
// instead of hanging or crashing the game inside the library.
//
// Two kinds of guard, chosen per format (docs/behaviour.md lists them):
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
// - ORVIX_ADDONS: SDL_image is the add-ons' IMG_Load_RW (addons/), which
//   reads BMP itself and hands other formats to the build's own decoders, so
//   the checks that guard SDL_image's readers are not needed;
// - ORVIX_32BIT_SURFACES: every surface has 32 bits per pixel and none has a
//   colour key (the browser's, web/surface.cpp), so PNG becomes RGBA;
// - ORVIX_BROWSER_DECODES: the browser decodes sounds, so there is no mixer
//   FLAC reader to guard and no FLAC dry run, and images other than PNG and
//   BMP, turning CMYK into RGB itself.
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
// Sample formats. SDL 1.2 converts a sound to the mixer's format with a fixed
// table of ten filter steps, one per halving or doubling of the rate and per
// channel or sample-format step, and writes past the table (or never stops
// adding steps) for rates far from the mixer's and for 0 channels. Within
// these bounds at most nine steps are needed.
bool sample_format_ok(Uint32 rate, Uint32 channels) {
    return channels >= 1 && channels <= 8 && rate >= 1000 && rate <= 384000;
}

// ---------------------------------------------------------------------------
// GIF, as SDL_image reads it: blocks up to the first image, whose data is a
// chain of sub-blocks. At the end of the file its extension reader never
// stops asking for one more sub-block, and an image without columns or rows,
// or with a code size larger than its tables, is written out of bounds.
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
// XPM, as SDL_image reads it from a file: each line is the text between the
// next two double quotes, except pixel rows, which are read as exactly
// width * chars-per-pixel characters plus the closing quote and two more
// bytes. It does not check that a row was there, nor that a pixel's key is
// one of the colours: either takes it through a null pointer.
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
// PCX: SDL_image decodes each row into a buffer of BytesPerLine bytes per
// plane, then reads width pixels from it, so a header whose BytesPerLine is
// too short for its width makes it read past that buffer.
bool pcx_readable(const Uint8 *d, size_t n) {
    if (n < 128) return false;
    Sint32 width = Sint32(le16(d + 8)) - Sint32(le16(d + 4)) + 1;
    Sint32 height = Sint32(le16(d + 10)) - Sint32(le16(d + 6)) + 1;
    Uint32 bits = d[3], bytes_per_line = le16(d + 66);
    return width > 0 && height > 0 && Uint64(bytes_per_line) * 8 >= Uint64(width) * bits;
}

// ---------------------------------------------------------------------------
// BMP: a 32-bit file without an alpha mask keeps padding in its fourth byte,
// which SDL_image reads as alpha (fully transparent, or whatever the writer
// left there). Returns the masks SDL_image's pixels should have lost their
// alpha for: true when the file has no alpha.
bool bmp_without_alpha(const Uint8 *d, size_t n) {
    if (n < 54 || d[0] != 'B' || d[1] != 'M') return false;
    Uint32 header = le32(d + 14), bits = le16(d + 28), compression = le32(d + 30);
    if (header < 40 || bits != 32) return false;
    if (compression == 0) return true;  // BI_RGB: no masks at all
    // BI_BITFIELDS: an alpha mask exists only in the longer headers.
    return compression == 3 && (header < 56 || n < 70 || le32(d + 66) == 0);
}

// ---------------------------------------------------------------------------
// JPEG: SDL_image hands the four channels of a CMYK file over unconverted, as
// if they were blue, green, red and alpha. 0: not CMYK; 1: plain CMYK; 2: CMYK
// written with an Adobe marker, whose channels are stored inverted.
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
// PNG, decoded here through libpng. SDL_image's reader ignores short reads,
// so past the end of a cut file libpng takes stale buffer contents for chunk
// lengths and data and can work through them for ever. Here a read past the
// end is an error. The surface is the one SDL_image makes for the same file
// (same transformations, layout, palette and colour key), except where that
// one has the wrong colours: greyscale with a transparent colour (SDL_image
// gives a 16-bit red and green surface) and 16-bit colour with a transparent
// colour (its key is compared with truncated values); both become RGBA here.
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
#ifndef ORVIX_BROWSER_DECODES
// Turns a CMYK JPEG's channels, as SDL_image and the Windows build's decoder
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
#endif

#ifdef ORVIX_ADDONS
// Without SDL_image, whose readers the checks above guard, the add-ons read
// BMP themselves and hand every other format but PNG to the build's decoders
// (addons/image.cpp). PNG is decoded here as natively, a BMP's fourth byte
// is alpha only where the file has an alpha mask, and CMYK JPEG becomes RGB,
// as natively.
static SDL_Surface *read_image(const FileBytes &f, SDL_RWops *rw, const char *) {
    if (f.size >= 4 && memcmp(f.data, "\x89PNG", 4) == 0) return decode_png(f.data, f.size);
    SDL_Surface *s = IMG_Load_RW(rw, 0);
    if (s && bmp_without_alpha(f.data, f.size)) make_opaque(s);
#ifndef ORVIX_BROWSER_DECODES
    // The build's own JPEG decoder leaves a CMYK file's channels as they are.
    int cmyk = s ? jpeg_cmyk_kind(f.data, f.size) : 0;
    if (cmyk) cmyk_to_rgb(s, cmyk == 2);
#endif
    return s;
}
#else
// SDL_image's GIF and XPM readers use the surface they ask SDL for without
// looking whether they got one; SDL refuses rows wider than its 16-bit pitch
// can hold, and sizes it cannot allocate. The same request, made first,
// tells whether theirs will succeed.
static bool surface_possible(const ImageSize &size) {
    SDL_Surface *probe = SDL_CreateRGBSurface(SDL_SWSURFACE, size.w, size.h, size.depth, 0, 0, 0, 0);
    if (probe) SDL_FreeSurface(probe);
    return probe != nullptr;
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
// WAV and AIFF, walked as the mixer's own readers walk them. Both read chunk
// headers until they find what they look for, without noticing the end of
// the file, so a missing chunk makes them loop on stale bytes; the music
// reader frees its format chunk twice when another chunk comes first, and
// reads 16 bytes of it whatever its length.
namespace {

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

// A sound in RIFF WAVE goes to SDL's own reader; only its format is checked:
// the first fmt chunk.
bool wav_sound_ok(const Source &src) {
    Uint8 h[16];
    if (!src.read(0, h, 12) || le32(h + 8) != tag("WAVE")) return false;
    for (Uint64 pos = 12; src.read(pos, h, 8); pos += 8 + Uint64(le32(h + 4))) {
        if (le32(h) != tag("fmt ")) continue;
        if (le32(h + 4) < 16 || !src.read(pos + 8, h, 16)) return false;
        return sample_format_ok(le32(h + 4), le16(h + 2));
    }
    return true;  // no format chunk: SDL's reader refuses the file itself
}

}  // namespace

bool wav_music_readable(const Uint8 *d, size_t n) { return wav_music_ok({d, nullptr, n}); }
bool aiff_readable(const Uint8 *d, size_t n, bool sound) { return aiff_ok({d, nullptr, n}, sound); }
bool wav_sound_readable(const Uint8 *d, size_t n) { return wav_sound_ok({d, nullptr, n}); }

// ---------------------------------------------------------------------------
// FLAC sounds. The mixer's FLAC reader allocates its sample buffer when a
// frame starting at sample 0 arrives and writes every frame after the last,
// so a stream whose first frame starts later is written through a null
// pointer, and one with more samples than its header declares past the end
// of the buffer. A dry run of the same decoder over the same bytes sees the
// same frames: the file goes to the mixer only if the frames start at sample
// 0, decode without error and add up to exactly the declared length.
// The browser build has neither libFLAC nor this reader: the browser decodes
// FLAC itself (web/mixer.cpp), so there is nothing to guard there.
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

// Music: the mixer picks its reader by the extension, then by the first bytes
// (RIFF ... WAVE or FORM for its WAV and AIFF reader), and streams the file
// from disk while it plays.
Mix_Music *load_music(const char *path) {
    path = game_path(path);
    FILE *file = fopen(path, "rb");
    if (!file) return nullptr;
    struct stat st;
    bool ok = fstat(fileno(file), &st) == 0 && S_ISREG(st.st_mode);
    Source src = {nullptr, file, ok ? Uint64(st.st_size) : 0};
    const char *ext = extension(path);
    Uint8 h[12];
    bool by_magic = !ext || !(strcasecmp(ext, "MID") == 0 || strcasecmp(ext, "MIDI") == 0 ||
                              strcasecmp(ext, "KAR") == 0 || strcasecmp(ext, "OGG") == 0 ||
                              strcasecmp(ext, "FLAC") == 0 || strcasecmp(ext, "MPG") == 0 ||
                              strcasecmp(ext, "MPEG") == 0 || strcasecmp(ext, "MP3") == 0 ||
                              strcasecmp(ext, "MAD") == 0);
    bool wav_reader = ext && strcasecmp(ext, "WAV") == 0;
    if (ok && by_magic && !wav_reader && src.read(0, h, 12))
        wav_reader = (le32(h) == tag("RIFF") && le32(h + 8) == tag("WAVE")) || le32(h) == tag("FORM");
    if (ok && wav_reader) {
        // The WAV reader looks at the first four bytes only.
        ok = src.read(0, h, 4) && (le32(h) == tag("FORM") ? aiff_ok(src, false) : wav_music_ok(src));
    }
    fclose(file);
    return ok ? Mix_LoadMUS(path) : nullptr;
}

// ---------------------------------------------------------------------------
// Fonts. SDL_ttf sizes a font without outlines by picking one of its bitmap
// strikes, with the point size as the strike's index: a negative size reads
// before the list of strikes, and a font with no strike at all reads before
// it whatever the size. Its size request fails for bitmap-only OpenType fonts
// (OTB), whose glyphs then load as empty outlines and draw nothing; and it
// copies a bitmap glyph's rows without looking whether FreeType gave it any
// pixel memory (a BDF glyph with a size but no bitmap). FreeType looks at
// such a font first, through the same calls. A file FreeType cannot open at
// all is left to SDL_ttf, which refuses it with its own error.
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
