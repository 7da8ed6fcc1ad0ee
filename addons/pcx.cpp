// ZSoft PCX, as SDL_image reads it: 1 to 4 planes of 1 bit (colours from
// the header's 16-entry map), 8 bits with the 256-colour map that follows
// the image after a byte 12 (or, without one, ends the file), and 3 planes
// of 8 bits; run-length encoded or not. Where SDL_image skips the padding
// bits of a row it tests each bit's position counted from the wrong end, so
// 1-bit images whose width is no multiple of 8 come out with those bits
// shifted; so they do here.
#include "readers.h"

namespace addons {

SDL_Surface *read_pcx(const unsigned char *d, size_t n) {
    if (n < 128) return fail("file truncated");
    auto s16 = [&](int at) { return int(Sint16(Uint16(d[at] | d[at + 1] << 8))); };
    int encoding = d[2], bits_pp = d[3];
    int w = s16(8) - s16(4) + 1, h = s16(10) - s16(6) + 1;
    int planes = d[65], bpl = s16(66);
    int src_bits = bits_pp * planes;
    bool indexed;
    if ((bits_pp == 1 && planes >= 1 && planes <= 4) || (bits_pp == 8 && planes == 1))
        indexed = true;
    else if (bits_pp == 8 && planes == 3)
        indexed = false;
    else
        return fail("unsupported PCX format");
    if (w <= 0 || h <= 0 || bpl < 0) return fail("unsupported PCX format");

    SDL_Surface *s = new_image(w, h);
    if (!s) return nullptr;
    size_t line = size_t(planes) * size_t(bpl);
    Uint8 *buf = static_cast<Uint8 *>(malloc(line ? line : 1));
    Uint8 *index = static_cast<Uint8 *>(calloc(size_t(w), indexed ? size_t(h) : 1));
    if (!buf || !index) {
        free(buf);
        free(index);
        SDL_FreeSurface(s);
        return fail("Out of memory");
    }
    Cursor c = {d, n, 128};
    Uint8 *out = static_cast<Uint8 *>(s->pixels);
    int count = 0;
    Uint8 ch = 0;
    const char *error = nullptr;
    for (int y = 0; y < h && !error; ++y) {
        if (encoding == 0) {
            if (const unsigned char *p = c.take(line)) memcpy(buf, p, line);
            else error = "file truncated";
        } else {
            for (size_t i = 0; i < line && !error; ++i) {
                if (!count) {
                    if (!c.u8(&ch)) {
                        error = "file truncated";
                        break;
                    }
                    if ((ch & 0xC0) == 0xC0) {
                        count = ch & 0x3F;
                        if (!c.u8(&ch)) error = "file truncated";
                    } else {
                        count = 1;
                    }
                }
                buf[i] = ch;
                --count;
            }
        }
        if (error) break;
        Uint8 *row = index + size_t(y) * size_t(w);
        if (src_bits <= 4) {
            const Uint8 *p = buf;
            for (int plane = 0; plane < planes; ++plane) {
                int x = 0;
                for (int i = 0; i < bpl; ++i) {
                    Uint8 byte = *p++;
                    for (int j = 7; j >= 0; --j) {
                        if (i * 8 + j >= w) continue;
                        row[x++] |= Uint8(((byte >> j) & 1) << plane);
                    }
                }
            }
        } else if (src_bits == 24) {
            // The planes are taken w bytes after another from the line, so
            // where a line has a padding byte the later planes start early.
            Uint8 *dst = out + size_t(y) * size_t(w) * 4;
            for (size_t i = 0; i < size_t(3) * size_t(w) && i < line; ++i)
                dst[(i % size_t(w)) * 4 + i / size_t(w)] = buf[i];
            for (int x = 0; x < w; ++x) dst[x * 4 + 3] = 0xFF;
        } else {
            memcpy(row, buf, line < size_t(w) ? line : size_t(w));
        }
    }
    if (!error && indexed) {
        Palette pal = {};
        pal.count = 1 << src_bits;
        if (src_bits == 8) {
            // The 256-colour map: after the first byte 12 past the image, or
            // without one the last 768 bytes of the file.
            do {
                if (!c.u8(&ch)) {
                    c.pos = n > 768 ? n - 768 : 0;
                    break;
                }
            } while (ch != 12);
            for (int i = 0; i < 256; ++i) c.read(pal.rgb[i], 3);
        } else {
            for (int i = 0; i < pal.count; ++i) memcpy(pal.rgb[i], d + 16 + i * 3, 3);
        }
        if (!error) palette_to_rgba(index, w, h, pal, -1, out);
    }
    free(buf);
    free(index);
    if (error) {
        SDL_FreeSurface(s);
        return fail(error);
    }
    return s;
}

}  // namespace addons
