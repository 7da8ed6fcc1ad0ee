// IMG_Load_RW: uncompressed BMP here, every other format through the build's
// own decoders (addons::decode_image); each into a 32-bit surface with the
// image's own alpha (opaque where the file has none), which
// SDL_DisplayFormatAlpha then converts as natively. PNG does not come here:
// orvixcore decodes it itself through libpng (assets.cpp).
#include "addons.h"

#include <SDL_image.h>

#include <cstdlib>
#include <cstring>

namespace {

inline Uint32 le16(const unsigned char *p) { return Uint32(p[0]) | Uint32(p[1]) << 8; }
inline Uint32 le32(const unsigned char *p) { return le16(p) | le16(p + 2) << 16; }

// Uncompressed Windows bitmaps of 8 (palette), 24 and 32 bits, bottom-up or
// top-down, as SDL_image reads them: a 32-bit pixel's fourth byte is its
// alpha (orvixcore makes the image opaque when the file has no alpha mask).
SDL_Surface *load_bmp(const unsigned char *d, size_t size) {
    if (size < 54) return nullptr;
    Uint32 offset = le32(d + 10), header = le32(d + 14);
    int w = int(le32(d + 18)), h = int(le32(d + 22));
    int bpp = int(le16(d + 28));
    Uint32 compression = le32(d + 30);
    bool top_down = h < 0;
    if (top_down) h = -h;
    if (w <= 0 || h <= 0 || (compression != 0 && !(compression == 3 && bpp == 32)) ||
        (bpp != 8 && bpp != 24 && bpp != 32))
        return nullptr;
    size_t stride = ((size_t(w) * size_t(bpp) + 31) / 32) * 4;
    if (offset > size || stride * size_t(h) > size - offset) return nullptr;
    const unsigned char *palette = d + 14 + header;
    Uint32 colours = le32(d + 46);
    if (bpp == 8 && colours == 0) colours = 256;
    if (bpp == 8 && (palette + 4 * size_t(colours) > d + size)) return nullptr;
    SDL_Surface *s = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, addons::kImageR, addons::kImageG,
                                          addons::kImageB, addons::kImageA);
    if (!s) return nullptr;
    for (int y = 0; y < h; ++y) {
        const unsigned char *src = d + offset + stride * size_t(top_down ? y : h - 1 - y);
        unsigned char *dst = static_cast<unsigned char *>(s->pixels) + y * s->pitch;
        for (int x = 0; x < w; ++x, dst += 4) {
            const unsigned char *bgr;
            if (bpp == 8) {
                Uint32 i = src[x];
                static const unsigned char black[3] = {0, 0, 0};
                bgr = i < colours ? palette + 4 * i : black;
            } else {
                bgr = src + x * (bpp / 8);
            }
            dst[0] = bgr[2];
            dst[1] = bgr[1];
            dst[2] = bgr[0];
            dst[3] = bpp == 32 ? bgr[3] : 0xFF;
        }
    }
    return s;
}

}  // namespace

extern "C" SDL_Surface *IMG_Load_RW(SDL_RWops *src, int freesrc) {
    long size = 0;
    unsigned char *data = addons::read_stream(src, &size);
    if (src && freesrc) SDL_RWclose(src);
    if (!data) {
        SDL_SetError("Couldn't read the image");
        return nullptr;
    }
    SDL_Surface *s = nullptr;
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
        s = load_bmp(data, size_t(size));
        if (!s) SDL_SetError("Unsupported BMP file");
    } else {
        s = addons::decode_image(data, size_t(size));
        if (!s) SDL_SetError("Unsupported image format");
    }
    free(data);
    return s;
}
