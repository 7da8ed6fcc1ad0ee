// Windows icons and cursors, as SDL_image reads them: of the pictures in the
// file, the first with the most colours (a count of 0 meaning 256); of 1, 4,
// 8 or 32 bits, uncompressed (pictures stored as PNG are refused). A palette
// whose size the header does not give is read as 256 entries, and entries
// are taken whole, their fourth byte as alpha, and the AND mask then
// makes every pixel it leaves visible fully opaque: a 32-bit picture's own
// alpha counts only where the mask hides the pixel.
#include "readers.h"

namespace addons {

SDL_Surface *read_ico(const unsigned char *d, size_t n, int type) {
    Cursor c = {d, n, 0};
    Uint32 reserved, kind, count;
    if (!c.le16(&reserved) || !c.le16(&kind) || !c.le16(&count) || reserved != 0 || kind != Uint32(type) ||
        count == 0) {
        SDL_SetError("File is not a Windows %s file", type == 1 ? "ICO" : "CUR");
        return nullptr;
    }
    int most = 0;
    Uint32 offset = 0;
    for (Uint32 i = 0; i < count; ++i) {
        Uint8 e[16] = {};
        c.read(e, 16);
        int colours = e[2] ? e[2] : 256;
        if (colours > most) {
            most = colours;
            offset = Uint32(e[12] | e[13] << 8 | e[14] << 16) | Uint32(e[15]) << 24;
        }
    }
    c.pos = offset < n ? offset : n;
    Uint32 header = 0, uw = 0, uh = 0, planes, bits = 0, compression = 0, skip, used = 0;
    c.le32(&header);
    if (header != 40) return fail("Unsupported ICO bitmap format");
    if (!c.le32(&uw) || !c.le32(&uh) || !c.le16(&planes) || !c.le16(&bits) || !c.le32(&compression) ||
        !c.le32(&skip) || !c.le32(&skip) || !c.le32(&skip) || !c.le32(&used) || !c.le32(&skip))
        return fail("Error reading from ICO");
    if (compression != 0) return fail("Compressed ICO files not supported");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 32) return fail("ICO file with unsupported bit count");
    int w = int(Sint32(uw)), h = int(Sint32(uh)) >> 1;
    SDL_Surface *s = new_image(w, h);
    if (!s) return nullptr;

    // Palette entries as B, G, R and a fourth byte, kept as they are.
    Uint8 palette[256][4] = {};
    if (bits <= 8) {
        // Without a count, 256 entries whatever the depth: for 1 and 4 bits
        // that runs into the pixels, as natively.
        if (used == 0) used = 256;
        for (Uint32 i = 0; i < used; ++i) {
            Uint8 e[4];
            if (c.read(e, 4) && i < 256) memcpy(palette[i], e, 4);
        }
    }
    Uint8 *out = static_cast<Uint8 *>(s->pixels);
    auto put = [&](Uint8 *p, const Uint8 *bgra) {
        p[0] = bgra[2];
        p[1] = bgra[1];
        p[2] = bgra[0];
        p[3] = bgra[3];
    };
    // The picture, bottom row first.
    size_t row_bytes = bits == 32 ? size_t(w) * 4 : (size_t(w) * bits + 7) / 8;
    size_t pad = bits == 32 ? 0 : (4 - row_bytes % 4) % 4;
    for (int y = h - 1; y >= 0; --y) {
        Uint8 *row = out + size_t(y) * size_t(w) * 4;
        const unsigned char *src = c.take(row_bytes);
        if (!src) {
            SDL_FreeSurface(s);
            return fail("Error reading from ICO");
        }
        for (int x = 0; x < w; ++x) {
            if (bits == 32) {
                put(row + x * 4, src + x * 4);
                continue;
            }
            int per = 8 / int(bits);
            Uint8 v = src[x / per];
            int index = (v >> (8 - int(bits) * (x % per + 1))) & ((1 << bits) - 1);
            put(row + x * 4, palette[index]);
        }
        c.skip(pad);
    }
    // The mask, bottom row first: a clear bit shows the pixel, opaque.
    row_bytes = (size_t(w) + 7) / 8;
    pad = (4 - row_bytes % 4) % 4;
    for (int y = h - 1; y >= 0; --y) {
        Uint8 *row = out + size_t(y) * size_t(w) * 4;
        const unsigned char *src = c.take(row_bytes);
        if (!src) {
            SDL_FreeSurface(s);
            return fail("Error reading from ICO");
        }
        for (int x = 0; x < w; ++x)
            if (!((src[x >> 3] >> (7 - (x & 7))) & 1)) row[x * 4 + 3] = 0xFF;
        c.skip(pad);
    }
    return s;
}

}  // namespace addons
