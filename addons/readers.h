// Internal header of the add-ons' image readers (bmp.cpp, tga.cpp, pcx.cpp,
// xpm.cpp, ico.cpp, pnm.cpp, gif.cpp, and jpeg.cpp and webp.cpp over the
// libraries SDL_image uses): a reading position over a file in memory, and
// the conversions that give each pixel the colour SDL's display-format
// conversion gives it natively.
#pragma once

#include "addons.h"

#include <cstdlib>
#include <cstring>

namespace addons {

// Reads little-endian numbers and bytes; false (reading nothing) past the end.
struct Cursor {
    const unsigned char *d;
    size_t n, pos;

    bool u8(Uint8 *v) {
        if (pos >= n) return false;
        *v = d[pos++];
        return true;
    }
    bool le16(Uint32 *v) {
        if (n - pos < 2 || pos > n) return false;
        *v = Uint32(d[pos]) | Uint32(d[pos + 1]) << 8;
        pos += 2;
        return true;
    }
    bool le32(Uint32 *v) {
        if (n - pos < 4 || pos > n) return false;
        *v = Uint32(d[pos]) | Uint32(d[pos + 1]) << 8 | Uint32(d[pos + 2]) << 16 | Uint32(d[pos + 3]) << 24;
        pos += 4;
        return true;
    }
    bool skip(size_t k) {
        if (pos > n || n - pos < k) return false;
        pos += k;
        return true;
    }
    // k bytes in place, or null (reading nothing) when fewer are left.
    const unsigned char *take(size_t k) {
        if (pos > n || n - pos < k) return nullptr;
        pos += k;
        return d + pos - k;
    }
    // k bytes into out as SDL's memory streams read them: what is left, if
    // less, and then false.
    bool read(Uint8 *out, size_t k) {
        size_t got = 0;
        while (got < k && pos < n) out[got++] = d[pos++];
        return got == k;
    }
};

// Sets SDL's error text and gives no surface.
inline SDL_Surface *fail(const char *message) {
    SDL_SetError("%s", message);
    return nullptr;
}

// A w x h image with the bytes R, G, B, A (kImage masks), all zero.
inline SDL_Surface *new_image(int w, int h) {
    return SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, kImageR, kImageG, kImageB, kImageA);
}

// Up to 256 colours; the entries past `count` are black, as an index past a
// palette's colours comes out natively.
struct Palette {
    int count;
    Uint8 rgb[256][3];
};

// 8-bit indices through a palette into R, G, B, A bytes, opaque. The index
// `key` (none if negative) is the image's colour key: SDL's conversion leaves
// those pixels out, so they stay zero, transparent black.
inline void palette_to_rgba(const Uint8 *index, int w, int h, const Palette &pal, int key, Uint8 *out) {
    for (size_t i = 0; i < size_t(w) * size_t(h); ++i, out += 4) {
        if (index[i] == key) continue;
        memcpy(out, pal.rgb[index[i]], 3);
        out[3] = 0xFF;
    }
}

// A pixel of 15 to 32 bits with channel masks, as SDL converts it to 8-bit
// channels: a channel of fewer bits is shifted up without filling the low
// bits, except 5-6-5 pixels, which SDL converts through a table of scaled
// values. Without an alpha mask a pixel is opaque.
struct Masks {
    Uint32 mask[4];
    int shift[4], loss[4];
    bool rgb565;

    void rgba(Uint32 v, Uint8 *out) const {
        if (rgb565) {
            // The table's two halves: the high byte's green bits scaled,
            // the low byte's shifted.
            Uint32 r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
            out[0] = Uint8(r * 255 / 31);
            out[1] = Uint8((g & 0x38) * 255 / 63 + (g & 7) * 4);
            out[2] = Uint8(b * 255 / 31);
            out[3] = 0xFF;
            return;
        }
        for (int i = 0; i < 4; ++i)
            out[i] = mask[i] ? Uint8(((v & mask[i]) >> shift[i]) << loss[i]) : i == 3 ? 0xFF : 0;
    }
};

inline Masks masks(Uint32 r, Uint32 g, Uint32 b, Uint32 a, int bits) {
    Masks m;
    // No colour masks at all: SDL's standard ones for the depth.
    if (!r && !g && !b) {
        if (bits == 15) r = 0x7C00, g = 0x03E0, b = 0x001F;
        else if (bits == 16) r = 0xF800, g = 0x07E0, b = 0x001F;
        else r = 0x00FF0000, g = 0x0000FF00, b = 0x000000FF;
    }
    Uint32 all[4] = {r, g, b, a};
    for (int i = 0; i < 4; ++i) {
        Uint32 v = all[i];
        int shift = 0, width = 0;
        if (v) {
            while (!(v & 1)) v >>= 1, ++shift;
            while (v & 1) v >>= 1, ++width;
        }
        m.mask[i] = all[i];
        m.shift[i] = shift;
        // Channels wider than 8 bits keep their top 8.
        if (width > 8) {
            m.shift[i] += width - 8;
            m.mask[i] &= 0xFFu << m.shift[i];
            width = 8;
        }
        m.loss[i] = 8 - width;
    }
    m.rgb565 = bits == 16 && r == 0xF800 && g == 0x07E0 && b == 0x001F && !a;
    return m;
}

SDL_Surface *read_bmp(const unsigned char *d, size_t n);
SDL_Surface *read_tga(const unsigned char *d, size_t n);
SDL_Surface *read_pcx(const unsigned char *d, size_t n);
SDL_Surface *read_xpm(const unsigned char *d, size_t n);
SDL_Surface *read_ico(const unsigned char *d, size_t n, int type);  // type 1: icon, 2: cursor
SDL_Surface *read_pnm(const unsigned char *d, size_t n);
SDL_Surface *read_gif(const unsigned char *d, size_t n);
SDL_Surface *read_xv(const unsigned char *d, size_t n);
SDL_Surface *read_jpeg(const unsigned char *d, size_t n);
SDL_Surface *read_webp(const unsigned char *d, size_t n);  // lossy WebP only

}  // namespace addons
