// Windows bitmaps, as SDL_image reads them and SDL then converts them to the
// display format: 1, 4 and 8 bits with a palette (plain or run-length
// encoded), 16 and 32 bits with masks (the defaults or the file's own), 24
// bits; the short OS/2 header and the longer Windows ones; bottom-up and
// top-down rows.
#include "readers.h"

#include <cstring>

namespace addons {

namespace {

enum { kRGB = 0, kRLE8 = 1, kRLE4 = 2, kBitfields = 3 };

// Run-length encoded rows (RLE8, RLE4) into 8-bit indices, from the bottom
// row up. Pixels a run skips keep index 0; runs past the end of a row carry
// on into the next row in memory, and nothing is written outside the image.
bool read_rle(Cursor &c, Uint8 *pixels, int w, int h, bool rle8) {
    const long pitch = w;
    Uint8 *start = pixels, *end = pixels + pitch * h;
    Uint8 *bits = end - pitch;
    long ofs = 0;
    auto put = [&](Uint8 v) {
        Uint8 *spot = bits + ofs++;
        if (spot >= start && spot < end) *spot = v;
    };
    for (;;) {
        Uint8 ch, v;
        if (!c.u8(&ch)) return false;
        if (ch) {
            if (!c.u8(&v)) return false;
            if (rle8) {
                do put(v);
                while (--ch);
            } else {
                for (;;) {
                    put(Uint8(v >> 4));
                    if (!--ch) break;
                    put(Uint8(v & 0x0F));
                    if (!--ch) break;
                }
            }
            continue;
        }
        if (!c.u8(&ch)) return false;
        switch (ch) {
        case 0:  // end of the row
            ofs = 0;
            bits -= pitch;
            break;
        case 1:  // end of the image
            return true;
        case 2:  // move right and up
            if (!c.u8(&ch)) return false;
            ofs += ch;
            if (!c.u8(&ch)) return false;
            bits -= long(ch) * pitch;
            break;
        default: {  // ch pixels as they are, padded to a whole number of 16-bit words
            bool pad;
            if (rle8) {
                pad = ch & 1;
                do {
                    if (!c.u8(&v)) return false;
                    put(v);
                } while (--ch);
            } else {
                pad = ((ch + 1) >> 1) & 1;
                for (;;) {
                    if (!c.u8(&v)) return false;
                    put(Uint8(v >> 4));
                    if (!--ch) break;
                    put(Uint8(v & 0x0F));
                    if (!--ch) break;
                }
            }
            if (pad && !c.u8(&v)) return false;
            break;
        }
        }
    }
}

}  // namespace

SDL_Surface *read_bmp(const unsigned char *d, size_t n) {
    Cursor c = {d, n, 0};
    Uint32 file_size, offset, header;
    if (n < 2 || d[0] != 'B' || d[1] != 'M') return fail("File is not a Windows BMP file");
    c.pos = 2;
    if (!c.le32(&file_size) || !c.skip(4) || !c.le32(&offset) || !c.le32(&header))
        return fail("Error reading from BMP");
    Sint32 w, h;
    Uint32 bits, compression = kRGB, colours = 0;
    if (header == 12) {
        Uint32 w16, h16, planes, b16;
        if (!c.le16(&w16) || !c.le16(&h16) || !c.le16(&planes) || !c.le16(&b16))
            return fail("Error reading from BMP");
        w = Sint32(w16);
        h = Sint32(h16);
        bits = b16;
    } else {
        Uint32 uw, uh, planes, b16, skip;
        if (!c.le32(&uw) || !c.le32(&uh) || !c.le16(&planes) || !c.le16(&b16) || !c.le32(&compression) ||
            !c.le32(&skip) || !c.le32(&skip) || !c.le32(&skip) || !c.le32(&colours) || !c.le32(&skip))
            return fail("Error reading from BMP");
        w = Sint32(uw);
        h = Sint32(uh);
        bits = b16;
    }
    bool top_down = h < 0;
    if (top_down) h = -h;
    // Masks come right after the 40 bytes that every longer header starts
    // with (inside the longer ones); the palette after the whole header.
    if (header > 12) c.pos = 14 + 40 < n ? 14 + 40 : n;

    int expand = 0;
    if (bits == 1 || bits == 4) {
        expand = int(bits);
        bits = 8;
    }
    Uint32 rmask = 0, gmask = 0, bmask = 0, amask = 0;
    switch (compression) {
    case kRGB:
        if (offset == 14 + header) {
            if (bits == 15 || bits == 16) {
                rmask = 0x7C00;
                gmask = 0x03E0;
                bmask = 0x001F;
            } else if (bits == 24 || bits == 32) {
                rmask = 0x00FF0000;
                gmask = 0x0000FF00;
                bmask = 0x000000FF;
                if (bits == 32) amask = 0xFF000000;
            }
            break;
        }
        [[fallthrough]];  // the masks sit between the header and the pixels
    case kBitfields:
        if (bits == 15 || bits == 16 || bits == 32) {
            if (!c.le32(&rmask) || !c.le32(&gmask) || !c.le32(&bmask)) return fail("Error reading from BMP");
            if (bits == 32 && !c.le32(&amask)) return fail("Error reading from BMP");
        }
        break;
    default:  // run-length encoded, or a compression read as none at all
        break;
    }
    if ((compression == kRLE8 || compression == kRLE4) && bits != 8) return fail("Error reading from BMP");
    if (bits != 8 && bits != 15 && bits != 16 && bits != 24 && bits != 32) {
        SDL_SetError("%d-bpp BMP images are not supported", int(bits));
        return nullptr;
    }
    if (w <= 0 || h <= 0) {
        SDL_SetError("BMP file with bad dimensions (%dx%d)", int(w), int(h));
        return nullptr;
    }

    // The palette follows, entries of three bytes after the short header and
    // four after the others; 1 << 8 of them when the header gives none.
    Palette pal = {};
    if (bits == 8) {
        if (colours == 0) colours = 256;
        if (colours > 256) colours = 256;
        pal.count = int(colours);
        c.pos = 14 + size_t(header) < n ? 14 + size_t(header) : n;
        for (int i = 0; i < pal.count; ++i) {
            Uint8 e[4] = {0, 0, 0, 0};
            c.read(e, header == 12 ? 3 : 4);
            pal.rgb[i][0] = e[2];
            pal.rgb[i][1] = e[1];
            pal.rgb[i][2] = e[0];
        }
    }

    c.pos = offset;
    if (offset > n) return fail("Error reading from BMP");
    SDL_Surface *s = new_image(w, h);
    if (!s) return nullptr;
    Uint8 *out = static_cast<Uint8 *>(s->pixels);

    if (bits == 8) {
        // Indices first, then colours.
        Uint8 *index = static_cast<Uint8 *>(calloc(size_t(w), size_t(h)));
        bool ok = index != nullptr;
        if (ok && (compression == kRLE8 || compression == kRLE4)) {
            // RLE4 or RLE8 by the compression, whatever the bit count says.
            ok = read_rle(c, index, w, h, compression == kRLE8);
            if (!ok) SDL_SetError("Error reading from BMP");
        } else if (ok) {
            size_t stride = expand ? (size_t(w) * size_t(expand) + 7) / 8 : size_t(w);
            stride = (stride + 3) & ~size_t(3);
            for (int y = 0; ok && y < h; ++y) {
                Uint8 *row = index + size_t(top_down ? y : h - 1 - y) * size_t(w);
                const unsigned char *src = c.take(stride);
                if (!src) {
                    // A short last row: what is there, then the error.
                    ok = false;
                    SDL_SetError("Error reading from BMP");
                    break;
                }
                for (int x = 0; x < w; ++x)
                    row[x] = expand == 1 ? (src[x >> 3] >> (7 - (x & 7))) & 1
                           : expand == 4 ? (src[x >> 1] >> ((x & 1) ? 0 : 4)) & 15
                                         : src[x];
            }
        }
        if (ok) palette_to_rgba(index, w, h, pal, -1, out);
        free(index);
        if (!ok) {
            SDL_FreeSurface(s);
            return nullptr;
        }
        return s;
    }

    const int bpp = bits == 15 ? 2 : int(bits) / 8;
    size_t stride = (size_t(w) * size_t(bpp) + 3) & ~size_t(3);
    Masks m = masks(rmask, gmask, bmask, amask, int(bits));
    for (int y = 0; y < h; ++y) {
        const unsigned char *src = c.take(stride);
        if (!src) {
            SDL_FreeSurface(s);
            return fail("Error reading from BMP");
        }
        Uint8 *row = out + size_t(top_down ? y : h - 1 - y) * size_t(w) * 4;
        for (int x = 0; x < w; ++x) {
            const unsigned char *p = src + size_t(x) * size_t(bpp);
            Uint32 v = bpp == 2 ? Uint32(p[0] | p[1] << 8)
                     : bpp == 3 ? Uint32(p[0] | p[1] << 8 | p[2] << 16)
                                : Uint32(p[0] | p[1] << 8 | p[2] << 16) | Uint32(p[3]) << 24;
            m.rgba(v, row + x * 4);
        }
    }
    return s;
}

}  // namespace addons
