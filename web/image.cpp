// The browser build's image decoders for the formats the add-ons do not read
// themselves. WebP goes through libwebp, as SDL_image's reader does natively,
// and only the kind it reads. JPEG goes to the browser, its orientation tag
// set to "as stored" first, since libjpeg does not turn pictures either; its
// pixels are opaque, so the browser's premultiplied canvas keeps them exact.
// Formats SDL_image has no reader for (AVIF, SVG, ...) are refused, as
// natively.
#include "addons.h"
#include "web.h"

#include <webp/decode.h>

#include <cstdlib>
#include <cstring>

namespace {

Uint32 rd16(const unsigned char *p, bool big) { return big ? Uint32(p[0] << 8 | p[1]) : Uint32(p[1] << 8 | p[0]); }
Uint32 rd32(const unsigned char *p, bool big) {
    return big ? rd16(p, true) << 16 | rd16(p + 2, true) : rd16(p + 2, false) << 16 | rd16(p, false);
}

// The offset of the value of IFD0's orientation entry in a JPEG's Exif
// segment, or 0 when it has none, and the segment's byte order.
size_t orientation_at(const unsigned char *d, size_t n, bool *big_endian) {
    size_t pos = 2;
    while (pos + 4 <= n && d[pos] == 0xFF) {
        Uint8 marker = d[pos + 1];
        if (marker == 0xFF) {  // fill byte
            ++pos;
            continue;
        }
        size_t len = rd16(d + pos + 2, true);
        if (len < 2 || len > n - pos - 2 || marker == 0xDA) return 0;  // the image data: no more segments
        const unsigned char *body = d + pos + 4;
        size_t size = len - 2;
        if (marker == 0xE1 && size >= 14 && memcmp(body, "Exif\0\0", 6) == 0) {
            const unsigned char *tiff = body + 6;
            size_t tn = size - 6;
            bool big = *big_endian = tiff[0] == 'M';
            Uint32 ifd = rd32(tiff + 4, big);
            if (ifd > tn - 2) return 0;
            Uint32 count = rd16(tiff + ifd, big);
            for (Uint32 i = 0; i < count && ifd + 2 + 12 * (i + 1) <= tn; ++i) {
                const unsigned char *e = tiff + ifd + 2 + 12 * i;
                if (rd16(e, big) == 0x0112) return size_t(e + 8 - d);
            }
            return 0;
        }
        pos += 2 + len;
    }
    return 0;
}

SDL_Surface *from_rgba(Uint8 *rgba, int w, int h) {
    SDL_Surface *s = rgba ? SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, addons::kImageR, addons::kImageG,
                                                 addons::kImageB, addons::kImageA)
                          : nullptr;
    if (s) memcpy(s->pixels, rgba, size_t(w) * size_t(h) * 4);
    return s;
}

}  // namespace

SDL_Surface *addons::decode_image(const unsigned char *data, size_t size) {
    int w = 0, h = 0;
    if (size >= 12 && memcmp(data, "RIFF", 4) == 0 && memcmp(data + 8, "WEBP", 4) == 0) {
        // SDL_image knows only the simple lossy kind: lossless WebP and WebP
        // with alpha or animation (VP8L, VP8X) are refused natively.
        if (size < 16 || memcmp(data + 12, "VP8 ", 4) != 0) return nullptr;
        Uint8 *rgba = WebPDecodeRGBA(data, size, &w, &h);
        SDL_Surface *s = from_rgba(rgba, w, h);
        WebPFree(rgba);
        return s;
    }
    bool jpeg = size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
    if (!jpeg) return nullptr;
    Uint8 *rgba;
    bool big = false;
    size_t at = orientation_at(data, size, &big);
    if (at) {
        unsigned char *copy = static_cast<unsigned char *>(malloc(size));
        if (!copy) return nullptr;
        memcpy(copy, data, size);
        copy[at] = big ? 0 : 1;
        copy[at + 1] = big ? 1 : 0;
        rgba = orw_js_image_decode(copy, int(size), &w, &h);
        free(copy);
    } else {
        rgba = orw_js_image_decode(data, int(size), &w, &h);
    }
    SDL_Surface *s = from_rgba(rgba, w, h);
    free(rgba);
    return s;
}
