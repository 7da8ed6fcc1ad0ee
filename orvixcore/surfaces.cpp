// Surfaces and pixels: images, blank surfaces, blits, fills and single pixels.
#include "surfaces.h"

#include "args.h"
#include "assets.h"
#include "functions.h"
#include "handles.h"
#include "state.h"

// The store itself, shared by the exported putpixel and putpix. putpix calls
// it directly: a call to the exported symbol would go through the PLT and
// could not be inlined into a function that runs once per pixel.
static inline void store_pixel(SDL_Surface *surface, Uint16 x, Uint16 y, Uint32 pixel) {
    // Positions outside the surface are dropped, so a store never leaves the
    // surface's pixel memory.
    if (!surface || !surface->pixels || x >= surface->w || y >= surface->h) return;
    Uint8 *p = static_cast<Uint8 *>(surface->pixels) + y * surface->pitch;
    switch (surface->format->BytesPerPixel) {
    case 1:
        p[x] = static_cast<Uint8>(pixel);
        break;
    case 2:
        reinterpret_cast<Uint16 *>(p)[x] = static_cast<Uint16>(pixel);
        break;
    case 3:
        // Bytes in increasing significance at increasing addresses.
        p += x * 3;
        p[0] = static_cast<Uint8>(pixel);
        p[1] = static_cast<Uint8>(pixel >> 8);
        p[2] = static_cast<Uint8>(pixel >> 16);
        break;
    case 4:
        reinterpret_cast<Uint32 *>(p)[x] = pixel;
        break;
    default:
        break;
    }
}

extern "C" void putpixel(SDL_Surface *surface, Uint16 x, Uint16 y, Uint32 pixel) {
    store_pixel(surface, x, y, pixel);
}

namespace orvix {

SDL_Surface *arg_target(lua_State *L, int i) {
    if (g_display != Display::Running) return nullptr;
    // Most draw calls leave the target out; the stack top says so for less
    // than a look at the slot.
    void *p = lua_gettop(L) < i ? nullptr : lua_touserdata(L, i);
    if (!p) return gl_on ? nullptr : gScreen;
    return handle_kind(p) == Kind::Surface ? static_cast<SDL_Surface *>(p) : nullptr;
}

int push_surface(lua_State *L, SDL_Surface *s) {
    lua_pushlightuserdata(L, s);
    lua_pushnumber(L, s->w);
    lua_pushnumber(L, s->h);
    return 3;
}

SDL_Surface *display_copy(SDL_Surface *src) {
    SDL_Surface *s = display_running() ? SDL_DisplayFormatAlpha(src) : nullptr;
    if (s) handle_add(s, Kind::Surface);
    return s;
}

SDL_Surface *to_display_format(SDL_Surface *loaded) {
    SDL_Surface *s = display_copy(loaded);
    SDL_FreeSurface(loaded);
    return s;
}

int l_loadImage(lua_State *L) {
    const char *path = lua_tostring(L, 1);
    // No path at all (nil, a table, ...) fails like a missing file; so does a
    // damaged file (see assets.cpp).
    SDL_Surface *loaded = path ? load_image(path) : nullptr;
    SDL_Surface *s = loaded ? to_display_format(loaded) : nullptr;
    if (!s) fatal("Couldn't load image %s. Exiting.\n", path ? path : "(null)");
    return push_surface(L, s);
}

int l_makeSurf(lua_State *L) {
    int w = arg_int(L, 1);
    int h = arg_int(L, 2);
    // Sizes SDL cannot represent (a row wider than its 16-bit pitch, a pixel
    // block larger than its int arithmetic) fail like any creation failure.
    SDL_Surface *made = nullptr;
    if (w >= 0 && h >= 0 && w <= kMaxSide && h <= 32767 && display_running())
        made = SDL_CreateRGBSurface(SDL_HWSURFACE | SDL_SRCALPHA, w, h, 32, 0, 0, 0, 0xFF);
    SDL_Surface *s = made ? to_display_format(made) : nullptr;
    if (!s) fatal("Couldn't create surface. Exiting.\n");
    return push_surface(L, s);
}

int l_blit(lua_State *L) {
    SDL_Surface *src = static_cast<SDL_Surface *>(arg_handle(L, 1, Kind::Surface));
    Sint16 x = arg_s16(L, 2);
    Sint16 y = arg_s16(L, 3);
    SDL_Surface *dst = arg_target(L, 4);
    if (!src || !dst) return 0;
    SDL_Rect r = {x, y, static_cast<Uint16>(src->w), static_cast<Uint16>(src->h)};
    SDL_UpperBlit(src, nullptr, dst, &r);
    return 0;
}

int l_freeSurf(lua_State *L) {
    void *p = lua_touserdata(L, 1);
    if (!p || !handle_remove(p, Kind::Surface)) return 0;
    SDL_Surface *s = static_cast<SDL_Surface *>(p);
    // A hardware surface needs the video driver to be released; once SDL is
    // shut down it can only be left to the end of the process.
    if (display_running() || !(s->flags & SDL_HWSURFACE)) SDL_FreeSurface(s);
    return 0;
}

int l_fill(lua_State *L) {
    Sint16 x = arg_s16(L, 1);
    Sint16 y = arg_s16(L, 2);
    Uint16 w = arg_u16(L, 3);
    Uint16 h = arg_u16(L, 4);
    Uint8 r = arg_u8(L, 5), g = arg_u8(L, 6), b = arg_u8(L, 7), a = arg_u8(L, 8);
    SDL_Surface *dst = arg_target(L, 9);
    if (!dst) return 0;
    // One zero size is enough to fill the whole target.
    SDL_Rect rect = {x, y, w, h};
    SDL_FillRect(dst, (w == 0 || h == 0) ? nullptr : &rect, SDL_MapRGBA(dst->format, r, g, b, a));
    return 0;
}

int l_putpix(lua_State *L) {
    Uint16 x = arg_u16(L, 1);
    Uint16 y = arg_u16(L, 2);
    Uint8 r = arg_u8(L, 3), g = arg_u8(L, 4), b = arg_u8(L, 5), a = arg_u8(L, 6);
    SDL_Surface *dst = arg_target(L, 7);
    if (!dst) return 0;
    // A surface that cannot be locked has no pixels to write to.
    if (SDL_LockSurface(dst) < 0) return 0;
    store_pixel(dst, x, y, SDL_MapRGBA(dst->format, r, g, b, a));
    SDL_UnlockSurface(dst);
    return 0;
}

}  // namespace orvix
