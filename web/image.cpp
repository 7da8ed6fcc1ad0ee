// The browser build's image decoders: every format the browser reads (JPEG,
// GIF's first frame, WebP, ...) that the add-ons do not decode themselves,
// through the browser, into RGBA bytes.
#include "addons.h"
#include "web.h"

#include <cstdlib>
#include <cstring>

SDL_Surface *addons::decode_image(const unsigned char *data, size_t size) {
    int w = 0, h = 0;
    Uint8 *rgba = orw_js_image_decode(data, int(size), &w, &h);
    SDL_Surface *s = rgba ? SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, kImageR, kImageG, kImageB, kImageA) : nullptr;
    if (s) memcpy(s->pixels, rgba, size_t(w) * size_t(h) * 4);
    free(rgba);
    return s;
}
