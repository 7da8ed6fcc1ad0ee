// Truevision TGA, as SDL_image reads it: colour-mapped, true-colour and
// greyscale images, plain or run-length encoded, rows from the bottom or the
// top. 15- and 16-bit pixels are 5-5-5 (their alpha bit ignored), 32-bit ones
// keep their alpha, and a 32-bit colour map entry whose alpha is below 128
// makes that entry the colour key (the last such entry). A read past the end
// of the file fills what it can and leaves the rest at zero.
#include "readers.h"

namespace addons {

SDL_Surface *read_tga(const unsigned char *d, size_t n) {
    if (n < 18) return fail("Error reading TGA data");
    const unsigned char *h = d;
    int info = h[0], has_map = h[1], type = h[2];
    int map_len = h[5] | h[6] << 8, map_bits = h[7];
    int w = h[12] | h[13] << 8, ht = h[14] | h[15] << 8;
    int bits = h[16], flags = h[17];
    bool rle = false, indexed = false, grey = false;
    switch (type) {
    case 9:
        rle = true;
        [[fallthrough]];
    case 1:
        if (!has_map || bits != 8 || map_len > 256) return fail("Unsupported TGA format");
        indexed = true;
        break;
    case 10:
        rle = true;
        [[fallthrough]];
    case 2:
        break;
    case 11:
        rle = true;
        [[fallthrough]];
    case 3:
        if (bits != 8) return fail("Unsupported TGA format");
        indexed = grey = true;
        break;
    default:
        return fail("Unsupported TGA format");
    }
    const int bpp = (bits + 7) >> 3;
    Masks m = {};
    switch (bits) {
    case 8:
        if (!indexed) return fail("Unsupported TGA format");
        break;
    case 15:
    case 16:
        m = masks(0x7C00, 0x03E0, 0x001F, 0, 15);
        break;
    case 24:
        m = masks(0x00FF0000, 0x0000FF00, 0x000000FF, 0, 24);
        break;
    case 32:
        m = masks(0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000, 32);
        break;
    default:
        return fail("Unsupported TGA format");
    }
    // Interleaved rows and right-to-left columns are not read.
    if ((flags & 0xC0) || (flags & 0x10)) return fail("Unsupported TGA format");

    Cursor c = {d, n, size_t(18 + info)};
    Palette pal = {};
    pal.count = 256;
    int key = -1;
    if (has_map) {
        size_t entry = size_t((map_bits + 7) >> 3);
        if (indexed && !grey) {
            Uint8 map[256 * 4] = {};
            c.read(map, entry * size_t(map_len));
            const Uint8 *p = map;
            pal.count = map_len;
            for (int i = 0; i < map_len; ++i) {
                if (map_bits == 15 || map_bits == 16) {
                    Uint32 v = Uint32(p[0] | p[1] << 8);
                    pal.rgb[i][0] = Uint8((v >> 7) & 0xF8);
                    pal.rgb[i][1] = Uint8((v >> 2) & 0xF8);
                    pal.rgb[i][2] = Uint8(v << 3);
                } else if (map_bits == 24 || map_bits == 32) {
                    pal.rgb[i][2] = p[0];
                    pal.rgb[i][1] = p[1];
                    pal.rgb[i][0] = p[2];
                    if (map_bits == 32 && p[3] < 128) key = i;
                }
                p += entry;
            }
        } else {
            c.pos += entry * size_t(map_len);
        }
    }
    if (grey) {
        for (int i = 0; i < 256; ++i) pal.rgb[i][0] = pal.rgb[i][1] = pal.rgb[i][2] = Uint8(i);
        pal.count = 256;
    }

    SDL_Surface *s = new_image(w, ht);
    if (!s) return nullptr;
    // The file's pixels as they are, a row at a time, then colours.
    size_t row_bytes = size_t(w) * size_t(bpp);
    Uint8 *raw = static_cast<Uint8 *>(calloc(size_t(ht) ? size_t(ht) : 1, row_bytes ? row_bytes : 1));
    if (!raw) {
        SDL_FreeSurface(s);
        return fail("Out of memory");
    }
    bool top = flags & 0x20;
    int count = 0, rep = 0;
    Uint8 pixel[4] = {0, 0, 0, 0};
    for (int y = 0; y < ht; ++y) {
        Uint8 *dst = raw + size_t(top ? y : ht - 1 - y) * row_bytes;
        if (!rle) {
            c.read(dst, row_bytes);
            continue;
        }
        // Runs may carry over from one row to the next.
        int x = 0;
        for (;;) {
            if (count) {
                int k = count < w - x ? count : w - x;
                c.read(dst + x * bpp, size_t(k) * size_t(bpp));
                count -= k;
                x += k;
                if (x == w) break;
            } else if (rep) {
                int k = rep < w - x ? rep : w - x;
                rep -= k;
                while (k--) memcpy(dst + bpp * x++, pixel, size_t(bpp));
                if (x == w) break;
            }
            Uint8 ch = 0;
            c.u8(&ch);
            if (ch & 0x80) {
                c.read(pixel, size_t(bpp));
                rep = (ch & 0x7F) + 1;
            } else {
                count = ch + 1;
            }
        }
    }
    Uint8 *out = static_cast<Uint8 *>(s->pixels);
    if (indexed) {
        // Indices beyond the map give the black of SDL's unused entries.
        for (int i = pal.count; i < 256; ++i) pal.rgb[i][0] = pal.rgb[i][1] = pal.rgb[i][2] = 0;
        palette_to_rgba(raw, w, ht, pal, key, out);
    } else {
        for (size_t i = 0; i < size_t(w) * size_t(ht); ++i) {
            const Uint8 *p = raw + i * size_t(bpp);
            Uint32 v = bpp == 2 ? Uint32(p[0] | p[1] << 8)
                     : bpp == 3 ? Uint32(p[0] | p[1] << 8 | p[2] << 16)
                                : Uint32(p[0] | p[1] << 8 | p[2] << 16) | Uint32(p[3]) << 24;
            m.rgba(v, out + i * 4);
        }
    }
    free(raw);
    return s;
}

}  // namespace addons
