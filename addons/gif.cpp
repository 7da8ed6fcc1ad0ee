// GIF, as SDL_image reads it: the first image in the file, at its own size
// (not the screen's, and not placed at its offset), with its local colour
// map or else the global one, rows in interlaced order where the image says
// so, and the transparent colour of the graphic control extension before it
// as the colour key. Where the compressed data ends early or goes wrong,
// the pixels not reached keep index 0.
#include "readers.h"

#include <new>

namespace addons {

namespace {

// Blocks of up to 255 bytes, each after its length, until a length of 0.
struct Blocks {
    Cursor &c;
    const unsigned char *data = nullptr;
    size_t left = 0;
    bool ended = false;

    // The next byte of the chained blocks, or -1 at their end.
    int byte() {
        while (!left) {
            Uint8 len;
            if (ended || !c.u8(&len) || len == 0) {
                ended = true;
                return -1;
            }
            data = c.take(len);
            if (!data) {
                ended = true;
                return -1;
            }
            left = len;
        }
        --left;
        return *data++;
    }
    // Skips what is left of the chain.
    void skip() {
        while (byte() >= 0) {}
    }
};

// The LZW decoder: one pixel index at a time, -1 at the end of the data.
struct Lzw {
    Blocks &in;
    int min_size, size, clear, end, next, max;
    int old = -1, first = 0;
    Uint32 bits = 0;
    int nbits = 0;
    Uint16 prefix[4096];
    Uint8 suffix[4096], stack[4097];
    int sp = 0;

    Lzw(Blocks &b, int code_size) : in(b), min_size(code_size) {
        clear = 1 << min_size;
        end = clear + 1;
        reset();
        for (int i = 0; i < clear; ++i) {
            prefix[i] = 0;
            suffix[i] = Uint8(i);
        }
    }
    void reset() {
        size = min_size + 1;
        next = clear + 2;
        max = 1 << size;
        old = -1;
    }
    int code() {
        while (nbits < size) {
            int b = in.byte();
            if (b < 0) return -1;
            bits |= Uint32(b) << nbits;
            nbits += 8;
        }
        int v = int(bits & ((1u << size) - 1));
        bits >>= size;
        nbits -= size;
        return v;
    }
    int pixel() {
        if (sp) return stack[--sp];
        for (;;) {
            int c = code();
            if (c < 0 || c == end) return -1;
            if (c == clear) {
                reset();
                continue;
            }
            if (old < 0) {
                if (c >= clear) return -1;
                old = c;
                first = c;
                return c;
            }
            int in_code = c;
            if (c >= next) {
                if (c > next) return -1;  // a code not yet made: damaged data
                stack[sp++] = Uint8(first);
                c = old;
            }
            while (c >= clear) {
                if (sp >= 4096) return -1;
                stack[sp++] = suffix[c];
                c = prefix[c];
            }
            first = suffix[c];
            stack[sp++] = Uint8(first);
            if (next < 4096) {
                prefix[next] = Uint16(old);
                suffix[next] = Uint8(first);
                ++next;
                if (next >= max && size < 12) {
                    ++size;
                    max <<= 1;
                }
            }
            old = in_code;
            return stack[--sp];
        }
    }
};

}  // namespace

SDL_Surface *read_gif(const unsigned char *d, size_t n) {
    if (n < 13 || (memcmp(d, "GIF87a", 6) != 0 && memcmp(d, "GIF89a", 6) != 0)) return fail("not a GIF file");
    Cursor c = {d, n, 13};
    Palette global = {}, local = {};
    if (d[10] & 0x80) {
        global.count = 2 << (d[10] & 7);
        for (int i = 0; i < global.count; ++i)
            if (!c.read(global.rgb[i], 3)) return fail("bad colormap");
    }
    int transparent = -1;
    for (;;) {
        Uint8 ch;
        if (!c.u8(&ch)) return fail("EOF / read error on image data");
        if (ch == ';') return fail("only 0 images found in file");
        if (ch == '!') {
            Uint8 label;
            if (!c.u8(&label)) return fail("EOF / read error on extension function code");
            Blocks b = {c};
            if (label == 0xF9) {
                // Graphic control: the transparent index, if its flag is set.
                int v[4];
                for (int &x : v) x = b.byte();
                if (v[0] >= 0 && (v[0] & 1) && v[3] >= 0) transparent = v[3];
            }
            b.skip();
            continue;
        }
        if (ch != ',') continue;  // stray bytes are passed over
        const unsigned char *desc = c.take(9);
        if (!desc) return fail("couldn't read left/top/width/height");
        int w = desc[4] | desc[5] << 8, h = desc[6] | desc[7] << 8, flags = desc[8];
        const Palette *pal = &global;
        if (flags & 0x80) {
            local.count = 1 << ((flags & 7) + 1);
            for (int i = 0; i < local.count; ++i)
                if (!c.read(local.rgb[i], 3)) return fail("bad colormap");
            pal = &local;
        }
        Uint8 code_size;
        if (!c.u8(&code_size)) return fail("EOF / read error on image data");
        if (code_size < 1 || code_size > 11) return fail("bad code size");
        SDL_Surface *s = new_image(w, h);
        if (!s) return nullptr;
        Uint8 *index = static_cast<Uint8 *>(calloc(size_t(w) ? size_t(w) : 1, size_t(h) ? size_t(h) : 1));
        Blocks blocks = {c};
        Lzw *lzw = index ? new (std::nothrow) Lzw(blocks, code_size) : nullptr;
        if (!lzw) {
            free(index);
            SDL_FreeSurface(s);
            return fail("Out of memory");
        }
        // Rows in order, or the four passes of an interlaced image.
        static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
        int passes = (flags & 0x40) ? 4 : 1;
        bool more = true;
        for (int pass = 0; pass < passes && more; ++pass) {
            for (int y = passes == 1 ? 0 : start[pass]; y < h && more; y += passes == 1 ? 1 : step[pass]) {
                for (int x = 0; x < w; ++x) {
                    int v = lzw->pixel();
                    if (v < 0) {
                        more = false;
                        break;
                    }
                    index[size_t(y) * size_t(w) + size_t(x)] = Uint8(v);
                }
            }
        }
        delete lzw;
        Palette colours = *pal;
        for (int i = colours.count; i < 256; ++i) colours.rgb[i][0] = colours.rgb[i][1] = colours.rgb[i][2] = 0;
        palette_to_rgba(index, w, h, colours, transparent, static_cast<Uint8 *>(s->pixels));
        free(index);
        return s;
    }
}

}  // namespace addons
