// Probes for the graphics tests: raw pixel memory, bounding boxes of drawn
// pixels, a direct line to the exported putpixel, SDL_ttf's own metrics, and
// text drawn without any cache.
#include "orvixtest.h"

#include <SDL_image.h>
#include <SDL_ttf.h>

#include <cstdlib>

namespace {

using orvixtest::arg_surface;
using orvixtest::core_symbol;

struct Locked {
    SDL_Surface *s;
    explicit Locked(SDL_Surface *surface) : s(surface) {
        if (SDL_MUSTLOCK(s)) SDL_LockSurface(s);
    }
    ~Locked() {
        if (SDL_MUSTLOCK(s)) SDL_UnlockSurface(s);
    }
};

// clear(surface or nil, r, g, b, a): fills the whole surface without going
// through the module, so that tests start from a known state.
int t_clear(lua_State *L) {
    SDL_Surface *s = arg_surface(L, 1);
    if (!s) return 0;
    Uint32 c = SDL_MapRGBA(s->format, Uint8(luaL_checknumber(L, 2)), Uint8(luaL_checknumber(L, 3)),
                           Uint8(luaL_checknumber(L, 4)), Uint8(luaL_optnumber(L, 5, 255)));
    lua_pushboolean(L, SDL_FillRect(s, nullptr, c) == 0);
    return 1;
}

// raw(surface or nil) -> the surface's pixel memory (pitch * h bytes) as a string.
int t_raw(lua_State *L) {
    SDL_Surface *s = arg_surface(L, 1);
    if (!s) return 0;
    if (!s->pixels || !s->h) {
        lua_pushliteral(L, "");
        return 1;
    }
    // No C++ object may live across the push, which can raise a Lua error.
    bool lock = SDL_MUSTLOCK(s);
    if (lock) SDL_LockSurface(s);
    lua_pushlstring(L, static_cast<const char *>(s->pixels), size_t(s->pitch) * size_t(s->h));
    if (lock) SDL_UnlockSurface(s);
    return 1;
}

// bbox(surface or nil, r, g, b[, tolerance[, outside]]) -> x0, y0, x1, y1 of
// the pixels whose colour is within tolerance of (r, g, b), or, with outside
// true, of the pixels that are not; nothing when there is none.
int t_bbox(lua_State *L) {
    SDL_Surface *s = arg_surface(L, 1);
    int r = int(luaL_checknumber(L, 2)), g = int(luaL_checknumber(L, 3)), b = int(luaL_checknumber(L, 4));
    int tol = int(luaL_optnumber(L, 5, 0));
    bool outside = lua_toboolean(L, 6);
    if (!s || !s->pixels) return 0;
    int x0 = s->w, y0 = s->h, x1 = -1, y1 = -1;
    {
        Locked lock(s);
        for (int y = 0; y < s->h; ++y)
            for (int x = 0; x < s->w; ++x) {
                Uint8 pr, pg, pb;
                SDL_GetRGB(orvixtest::raw_pixel(s, x, y), s->format, &pr, &pg, &pb);
                bool near = abs(pr - r) <= tol && abs(pg - g) <= tol && abs(pb - b) <= tol;
                if (near == outside) continue;
                if (x < x0) x0 = x;
                if (y < y0) y0 = y;
                if (x > x1) x1 = x;
                if (y > y1) y1 = y;
            }
    }
    if (x1 < 0) return 0;
    lua_pushnumber(L, x0);
    lua_pushnumber(L, y0);
    lua_pushnumber(L, x1);
    lua_pushnumber(L, y1);
    return 4;
}

// alpha_count(surface, min_alpha) -> number of pixels whose alpha is at least min_alpha.
int t_alpha_count(lua_State *L) {
    SDL_Surface *s = arg_surface(L, 1);
    int min_alpha = int(luaL_checknumber(L, 2));
    if (!s || !s->pixels) return 0;
    long n = 0;
    {
        Locked lock(s);
        for (int y = 0; y < s->h; ++y)
            for (int x = 0; x < s->w; ++x) {
                Uint8 pr, pg, pb, pa;
                SDL_GetRGBA(orvixtest::raw_pixel(s, x, y), s->format, &pr, &pg, &pb, &pa);
                if (pa >= min_alpha) ++n;
            }
    }
    lua_pushnumber(L, double(n));
    return 1;
}

// putpixel_bytes(bytes_per_pixel, x, y, value) -> the pixel memory of a
// zeroed 4 x 3 surface after the module's exported putpixel stored value at
// (x, y), and the surface's pitch. A size other than 1 to 4 is tried on a
// 4-byte surface whose format claims that size.
int t_putpixel_bytes(lua_State *L) {
    int bytes = int(luaL_checknumber(L, 1));
    auto x = Uint16(luaL_checknumber(L, 2)), y = Uint16(luaL_checknumber(L, 3));
    auto value = Uint32(luaL_checknumber(L, 4));
    using PutPixel = void (*)(SDL_Surface *, Uint16, Uint16, Uint32);
    auto put = reinterpret_cast<PutPixel>(core_symbol("putpixel"));
    if (!put) return luaL_error(L, "putpixel is not exported");
    int depth = (bytes >= 1 && bytes <= 4) ? 8 * bytes : 32;
    SDL_Surface *s = SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 3, depth, 0, 0, 0, 0);
    if (!s) return luaL_error(L, "no surface: %s", SDL_GetError());
    SDL_memset(s->pixels, 0, size_t(s->pitch) * size_t(s->h));
    Uint8 real = s->format->BytesPerPixel;
    s->format->BytesPerPixel = Uint8(bytes);
    put(s, x, y, value);
    s->format->BytesPerPixel = real;
    lua_pushlstring(L, static_cast<const char *>(s->pixels), size_t(s->pitch) * size_t(s->h));
    lua_pushnumber(L, s->pitch);
    SDL_FreeSurface(s);
    return 2;
}

// The text of arguments 1 to 5 (font, text, r, g, b) rendered the way
// printFont renders it; null when there is nothing to render.
SDL_Surface *naive_render(lua_State *L) {
    auto font = static_cast<TTF_Font *>(lua_touserdata(L, 1));
    const char *text = luaL_checkstring(L, 2);
    SDL_Color c = {Uint8(luaL_checknumber(L, 3)), Uint8(luaL_checknumber(L, 4)), Uint8(luaL_checknumber(L, 5)), 0};
    return font ? TTF_RenderUTF8_Blended(font, text, c) : nullptr;
}

// naive_print(font, text, r, g, b, x, y[, target]): draws a text the way it
// is drawn without a cache: render, blit onto the target (default the
// screen), free.
int t_naive_print(lua_State *L) {
    SDL_Rect r = {Sint16(luaL_checknumber(L, 6)), Sint16(luaL_checknumber(L, 7)), 0, 0};
    SDL_Surface *dst = arg_surface(L, 8);
    SDL_Surface *s = dst ? naive_render(L) : nullptr;
    if (!s) return 0;
    r.w = Uint16(s->w);
    r.h = Uint16(s->h);
    SDL_UpperBlit(s, nullptr, dst, &r);
    SDL_FreeSurface(s);
    return 0;
}

// naive_text_surface(font, text, r, g, b) -> pixel memory, w, h, pitch and
// flags of the text rendered and converted to the display format with
// alpha, as the surface mode does it without a cache; nothing on failure.
int t_naive_text_surface(lua_State *L) {
    SDL_Surface *rendered = naive_render(L);
    SDL_Surface *s = rendered ? SDL_DisplayFormatAlpha(rendered) : nullptr;
    SDL_FreeSurface(rendered);
    if (!s) return 0;
    // No C++ object may live across the pushes, which can raise a Lua error.
    lua_pushlstring(L, static_cast<const char *>(s->pixels), size_t(s->pitch) * size_t(s->h));
    lua_pushnumber(L, s->w);
    lua_pushnumber(L, s->h);
    lua_pushnumber(L, s->pitch);
    lua_pushnumber(L, s->flags);
    SDL_FreeSurface(s);
    return 5;
}

// font_height(font) -> TTF_FontHeight of a font handle.
int t_font_height(lua_State *L) {
    auto font = static_cast<TTF_Font *>(lua_touserdata(L, 1));
    if (!font) return 0;
    lua_pushnumber(L, TTF_FontHeight(font));
    return 1;
}

// img_load(path) -> what SDL_image alone makes of a file, converted to the
// display format like a loaded image (a surface the caller frees with
// free_surface), or nothing when SDL_image cannot load it.
int t_img_load(lua_State *L) {
    SDL_Surface *loaded = IMG_Load(luaL_checkstring(L, 1));
    SDL_Surface *s = loaded ? SDL_DisplayFormatAlpha(loaded) : nullptr;
    if (loaded) SDL_FreeSurface(loaded);
    if (!s) return 0;
    lua_pushlightuserdata(L, s);
    return 1;
}

// free_surface(surface): frees a surface made by img_load.
int t_free_surface(lua_State *L) {
    SDL_FreeSurface(static_cast<SDL_Surface *>(lua_touserdata(L, 1)));
    return 0;
}

const luaL_Reg funcs[] = {
    {"clear", t_clear},
    {"raw", t_raw},               {"bbox", t_bbox},
    {"alpha_count", t_alpha_count}, {"putpixel_bytes", t_putpixel_bytes},
    {"font_height", t_font_height}, {"naive_print", t_naive_print},
    {"naive_text_surface", t_naive_text_surface}, {"img_load", t_img_load},
    {"free_surface", t_free_surface}, {nullptr, nullptr}};
orvixtest::Registrar reg(funcs);

}  // namespace
