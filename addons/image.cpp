// IMG_Load_RW and IMG_LoadTGA_RW: BMP of every kind, GIF, JPEG, PCX, XPM,
// TGA, PNM, XV thumbnails, Windows icons and cursors and lossy WebP
// (readers.h) are read as SDL_image reads them, each into a 32-bit surface
// with the colours SDL's display-format conversion gives SDL_image's surface
// natively. The formats it reads that are left out (LBM, TIFF, XCF) are
// refused as unknown. PNG does not come here: orvixcore decodes it itself
// through libpng (assets.cpp).
#include "readers.h"

#include <strings.h>

namespace addons {

namespace {

// Whether SDL_image takes a file for JPEG: the start-of-image mark, then
// marker segments, each within the file, up to a scan header or the end of
// image mark (fill bytes, and markers without a length, are stepped over).
// A file cut short before its first scan header is no JPEG to it.
bool is_jpeg(const unsigned char *d, size_t n) {
    if (n < 2 || d[0] != 0xFF || d[1] != 0xD8) return false;
    long pos = 2, size = long(n);
    for (;;) {
        if (size - pos < 2 || d[pos] != 0xFF) return false;
        Uint8 mark = d[pos + 1];
        if (mark == 0xFF) {
            pos += 1;
        } else if (mark == 0xD9) {
            return true;
        } else if (mark >= 0xD0 && mark < 0xD9) {
            pos += 2;
        } else {
            if (size - pos < 4) return false;
            // The segment's length counts its own two bytes; a length under
            // two steps back, as a stream's seek does.
            long next = pos + 4 + (long(d[pos + 2]) << 8 | d[pos + 3]) - 2;
            if (next > size) return false;
            if (mark == 0xDA) return true;
            pos = next;
        }
    }
}

}  // namespace

SDL_Surface *read_image(const unsigned char *d, size_t n, const char *type) {
    if (type && strcasecmp(type, "TGA") == 0) return read_tga(d, n);
    // The formats are told apart by their first bytes, as SDL_image does.
    if (n >= 6 && d[0] == 0 && d[1] == 0 && (d[2] == 1 || d[2] == 2) && d[3] == 0 && (d[4] || d[5]))
        return read_ico(d, n, d[2]);
    if (n >= 2 && d[0] == 'B' && d[1] == 'M') return read_bmp(d, n);
    if (n >= 6 && (memcmp(d, "GIF87a", 6) == 0 || memcmp(d, "GIF89a", 6) == 0)) return read_gif(d, n);
    if (is_jpeg(d, n)) return read_jpeg(d, n);
    if (n >= 128 && d[0] == 10 && d[1] == 5 && d[2] <= 1) return read_pcx(d, n);
    if (n >= 3 && d[0] == 'P' && d[1] >= '1' && d[1] <= '6' && strchr(" \t\n\r\f\v", d[2]) && d[2])
        return read_pnm(d, n);
    if (n >= 9 && memcmp(d, "/* XPM */", 9) == 0) return read_xpm(d, n);
    if (n >= 6 && memcmp(d, "P7 332", 6) == 0) return read_xv(d, n);
    // SDL_image knows only the simple lossy WebP: lossless files and files
    // with alpha or animation (VP8L, VP8X) are no WebP to it.
    if (n >= 16 && memcmp(d, "RIFF", 4) == 0 && memcmp(d + 8, "WEBPVP8 ", 8) == 0) return read_webp(d, n);
    return fail("Unsupported image format");
}

}  // namespace addons

namespace {

SDL_Surface *load(SDL_RWops *src, int freesrc, const char *type) {
    long size = 0;
    unsigned char *data = addons::read_stream(src, &size);
    if (src && freesrc) SDL_RWclose(src);
    if (!data) {
        SDL_SetError("Couldn't read the image");
        return nullptr;
    }
    SDL_Surface *s = addons::read_image(data, size_t(size), type);
    free(data);
    return s;
}

// Whether a stream starts with these bytes; it is left where it was.
bool starts(SDL_RWops *rw, const char *magic, int n, int need) {
    if (!rw) return false;
    int at = SDL_RWtell(rw);
    unsigned char head[128];
    bool ok = SDL_RWread(rw, head, 1, need) == need && memcmp(head, magic, size_t(n)) == 0;
    SDL_RWseek(rw, at, RW_SEEK_SET);
    return ok;
}

}  // namespace

extern "C" SDL_Surface *IMG_Load_RW(SDL_RWops *src, int freesrc) { return load(src, freesrc, nullptr); }

// The format tests orvixcore makes before the checks of its own.
extern "C" int IMG_isGIF(SDL_RWops *src) { return starts(src, "GIF87a", 6, 6) || starts(src, "GIF89a", 6, 6); }
extern "C" int IMG_isXPM(SDL_RWops *src) { return starts(src, "/* XPM */", 9, 9); }
// A PCX header is read whole (128 bytes): ZSoft's mark, version 5, encoded or not.
extern "C" int IMG_isPCX(SDL_RWops *src) {
    return starts(src, "\x0a\x05\x01", 3, 128) || starts(src, "\x0a\x05\x00", 3, 128);
}

extern "C" SDL_Surface *IMG_LoadTGA_RW(SDL_RWops *src) { return load(src, 0, "TGA"); }
