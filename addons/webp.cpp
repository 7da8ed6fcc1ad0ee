// WebP through libwebp, only the kind SDL_image reads: the simple lossy
// format ("VP8 "), opaque. Lossless files and files with alpha or animation
// ("VP8L", "VP8X") are not WebP to SDL_image: image.cpp leaves them unread.
#include "readers.h"

#include <webp/decode.h>

namespace addons {

SDL_Surface *read_webp(const unsigned char *data, size_t size) {
    int w = 0, h = 0;
    Uint8 *rgba = WebPDecodeRGBA(data, size, &w, &h);
    if (!rgba) return fail("WebP decoding failed");
    SDL_Surface *s = new_image(w, h);
    if (s)
        for (int y = 0; y < h; ++y)
            memcpy(static_cast<Uint8 *>(s->pixels) + y * s->pitch, rgba + size_t(y) * size_t(w) * 4, size_t(w) * 4);
    WebPFree(rgba);
    return s;
}

}  // namespace addons
