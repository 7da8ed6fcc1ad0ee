// Portable anymaps (PBM, PGM, PPM, as text or raw bytes) and XV thumbnails,
// as SDL_image reads them. Numbers in a header are decimal, separated by
// white space and comments (# to the end of the line); the one character
// after the last is the last one read. PBM is black on white; the values of
// PGM and PPM are scaled to 0..255 by maxval, which may not be above 255, and
// kept in a byte. An XV thumbnail ("P7 332") has a PGM-like header, then
// bytes of 3-3-2 colour.
#include "readers.h"

namespace addons {

namespace {

bool space(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// The next number, after white space and comments; -1 when there is none.
long number(Cursor &c) {
    Uint8 ch;
    for (;;) {
        if (!c.u8(&ch)) return -1;
        if (ch == '#') {
            do {
                if (!c.u8(&ch)) return -1;
            } while (ch != '\n' && ch != '\r');
        } else if (!space(ch)) {
            break;
        }
    }
    if (ch < '0' || ch > '9') return -1;
    long v = 0;
    do {
        v = v * 10 + (ch - '0');
        if (v > 0x7fffffff) return -1;
        if (!c.u8(&ch)) break;
    } while (ch >= '0' && ch <= '9');
    return v;
}

}  // namespace

SDL_Surface *read_pnm(const unsigned char *d, size_t n) {
    if (n < 3 || d[0] != 'P' || d[1] < '1' || d[1] > '6' || !space(d[2])) return fail("not a PNM file");
    int kind = (d[1] - '1') % 3;  // 0 PBM, 1 PGM, 2 PPM
    bool ascii = d[1] <= '3';
    Cursor c = {d, n, 2};
    long w = number(c), h = number(c);
    if (w <= 0 || h <= 0) return fail("Unable to read image width and height");
    long maxval = 1;
    if (kind != 0) {
        maxval = number(c);
        if (maxval <= 0 || maxval > 255) return fail("unsupported PNM format");
    }
    if (Uint64(w) * Uint64(h) > n * 8 + 64) return fail("file truncated");
    SDL_Surface *s = new_image(int(w), int(h));
    if (!s) return nullptr;
    Uint8 *out = static_cast<Uint8 *>(s->pixels);
    const char *error = nullptr;
    for (long y = 0; y < h && !error; ++y) {
        Uint8 *row = out + size_t(y) * size_t(w) * 4;
        // A raw row is read whole, or the file is cut short.
        const unsigned char *bits = nullptr;
        if (!ascii) {
            size_t bytes = kind == 0 ? size_t((w + 7) / 8) : size_t(w) * (kind == 1 ? 1 : 3);
            bits = c.take(bytes);
            if (!bits) {
                error = "file truncated";
                break;
            }
        }
        for (long x = 0; x < w; ++x) {
            Uint8 *p = row + x * 4;
            p[3] = 0xFF;
            if (kind == 0) {
                long v;
                if (ascii) {
                    // One digit each, with or without spaces between them.
                    Uint8 ch = ' ';
                    while (c.u8(&ch) && (space(ch) || ch == '#')) {
                        if (ch == '#')
                            while (c.u8(&ch) && ch != '\n' && ch != '\r') {}
                    }
                    v = ch == '1';
                } else {
                    v = (bits[x >> 3] >> (7 - (x & 7))) & 1;
                }
                p[0] = p[1] = p[2] = v ? 0 : 0xFF;
                continue;
            }
            // Each value scaled to 0..255 and kept in a byte: a value above
            // maxval wraps around.
            int channels = kind == 1 ? 1 : 3;
            Uint8 v[3] = {0, 0, 0};
            for (int k = 0; k < channels; ++k) {
                long raw = ascii ? number(c) : bits[x * channels + k];
                if (raw < 0) {
                    error = "file truncated";
                    break;
                }
                v[k] = Uint8(raw * 255 / maxval);
            }
            if (kind == 1) p[0] = p[1] = p[2] = v[0];
            else memcpy(p, v, 3);
        }
    }
    if (error) {
        SDL_FreeSurface(s);
        return fail(error);
    }
    return s;
}

SDL_Surface *read_xv(const unsigned char *d, size_t n) {
    if (n < 6 || memcmp(d, "P7 332", 6) != 0) return fail("not an XV thumbnail");
    Cursor c = {d, n, 6};
    // The header: comment lines, then "width height maxval".
    long w = number(c), h = number(c), maxval = number(c);
    if (w <= 0 || h <= 0 || maxval != 255) return fail("Unable to read image width and height");
    const unsigned char *px = c.take(size_t(w) * size_t(h));
    if (!px) return fail("file truncated");
    SDL_Surface *s = new_image(int(w), int(h));
    if (!s) return nullptr;
    Uint8 *out = static_cast<Uint8 *>(s->pixels);
    for (size_t i = 0; i < size_t(w) * size_t(h); ++i, out += 4) {
        // Three bits of red and of green, two of blue, spread over a byte.
        Uint32 r = px[i] >> 5, g = (px[i] >> 2) & 7, b = px[i] & 3;
        out[0] = Uint8(r << 5 | r << 2 | r >> 1);
        out[1] = Uint8(g << 5 | g << 2 | g >> 1);
        out[2] = Uint8(b * 0x55);
        out[3] = 0xFF;
    }
    return s;
}

}  // namespace addons
