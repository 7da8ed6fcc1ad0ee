// Globals, surface fields and pixels of the runtime under test.
#include "orvixtest.h"
#include "globals.h"

namespace {

using orvixtest::arg_surface;
using orvixtest::core_symbol;
using orvixtest::raw_pixel;

template <typename T>
T read_global(const char *name) {
    auto p = static_cast<T *>(core_symbol(name));
    return p ? *p : T{};
}

// globals() -> table of the exported globals and the cell context.
int t_globals(lua_State *L) {
    lua_newtable(L);
    SDL_Surface *screen = read_global<SDL_Surface *>("gScreen");
    if (screen) lua_pushlightuserdata(L, screen); else lua_pushnil(L);
    lua_setfield(L, -2, "gScreen");
    const char *ints[] = {"sound_on", "gl_on", "curses_on", "gNumpads"};
    for (const char *name : ints) {
        lua_pushnumber(L, read_global<int>(name));
        lua_setfield(L, -2, name);
    }
    SDL_Joystick **pads = read_global<SDL_Joystick **>("gPads");
    if (pads) lua_pushlightuserdata(L, pads); else lua_pushnil(L);
    lua_setfield(L, -2, "gPads");

    auto cc = static_cast<CursesContext *>(core_symbol("CC"));
    lua_newtable(L);
    if (cc) {
        if (cc->font) lua_pushlightuserdata(L, cc->font); else lua_pushnil(L);
        lua_setfield(L, -2, "font");
        const struct { const char *name; int value; } fields[] = {
            {"cellW", cc->cellW}, {"cellH", cc->cellH}, {"cols", cc->cols},
            {"rows", cc->rows}, {"count", cc->count}};
        for (const auto &f : fields) {
            lua_pushnumber(L, f.value);
            lua_setfield(L, -2, f.name);
        }
        lua_pushboolean(L, cc->chars != nullptr);
        lua_setfield(L, -2, "has_storage");
    }
    lua_setfield(L, -2, "CC");
    return 1;
}

// cell(x, y) -> char, fg r, g, b, a, bg r, g, b, a of one cell of the grid.
int t_cell(lua_State *L) {
    auto cc = static_cast<CursesContext *>(core_symbol("CC"));
    int x = static_cast<int>(luaL_checknumber(L, 1)), y = static_cast<int>(luaL_checknumber(L, 2));
    if (!cc || !cc->chars || x < 0 || y < 0 || x >= cc->cols || y >= cc->rows) return 0;
    int i = x + y * cc->cols;
    char c[2] = {static_cast<char>(cc->chars[i]), 0};
    lua_pushstring(L, c);
    const SDL_Color *cols[] = {&cc->fg[i], &cc->bg[i]};
    for (const SDL_Color *col : cols) {
        lua_pushnumber(L, col->r);
        lua_pushnumber(L, col->g);
        lua_pushnumber(L, col->b);
        lua_pushnumber(L, col->unused);
    }
    return 9;
}

// surface(handle or nil for gScreen) -> table of the surface's fields.
int t_surface(lua_State *L) {
    SDL_Surface *s = arg_surface(L, 1);
    if (!s) return 0;
    lua_newtable(L);
    const struct { const char *name; double value; } fields[] = {
        {"w", double(s->w)}, {"h", double(s->h)}, {"pitch", double(s->pitch)},
        {"flags", double(s->flags)}, {"bpp", double(s->format->BitsPerPixel)},
        {"bytes", double(s->format->BytesPerPixel)}, {"Rmask", double(s->format->Rmask)},
        {"Gmask", double(s->format->Gmask)}, {"Bmask", double(s->format->Bmask)},
        {"Amask", double(s->format->Amask)}, {"locked", double(s->locked)},
        {"clip_x", double(s->clip_rect.x)}, {"clip_y", double(s->clip_rect.y)},
        {"clip_w", double(s->clip_rect.w)}, {"clip_h", double(s->clip_rect.h)}};
    for (const auto &f : fields) {
        lua_pushnumber(L, f.value);
        lua_setfield(L, -2, f.name);
    }
    if (s->pixels) lua_pushlightuserdata(L, s->pixels); else lua_pushnil(L);
    lua_setfield(L, -2, "pixels");
    return 1;
}

static bool pixel_inside(SDL_Surface *s, int x, int y) {
    return s && s->pixels && x >= 0 && y >= 0 && x < s->w && y < s->h;
}

// pixel(surface or nil, x, y) -> the raw pixel value (nil outside).
int t_pixel(lua_State *L) {
    SDL_Surface *s = arg_surface(L, 1);
    int x = static_cast<int>(luaL_checknumber(L, 2)), y = static_cast<int>(luaL_checknumber(L, 3));
    if (!pixel_inside(s, x, y)) return 0;
    if (SDL_MUSTLOCK(s)) SDL_LockSurface(s);
    lua_pushnumber(L, raw_pixel(s, x, y));
    if (SDL_MUSTLOCK(s)) SDL_UnlockSurface(s);
    return 1;
}

// rgba(surface or nil, x, y) -> r, g, b, a of one pixel (nothing outside).
int t_rgba(lua_State *L) {
    SDL_Surface *s = arg_surface(L, 1);
    int x = static_cast<int>(luaL_checknumber(L, 2)), y = static_cast<int>(luaL_checknumber(L, 3));
    if (!pixel_inside(s, x, y)) return 0;
    if (SDL_MUSTLOCK(s)) SDL_LockSurface(s);
    Uint8 r, g, b, a;
    SDL_GetRGBA(raw_pixel(s, x, y), s->format, &r, &g, &b, &a);
    if (SDL_MUSTLOCK(s)) SDL_UnlockSurface(s);
    lua_pushnumber(L, r);
    lua_pushnumber(L, g);
    lua_pushnumber(L, b);
    lua_pushnumber(L, a);
    return 4;
}

// maprgba(surface or nil, r, g, b, a) -> the pixel value in that surface's format.
int t_maprgba(lua_State *L) {
    SDL_Surface *s = arg_surface(L, 1);
    if (!s) return 0;
    lua_pushnumber(L, SDL_MapRGBA(s->format, Uint8(luaL_checknumber(L, 2)), Uint8(luaL_checknumber(L, 3)),
                                  Uint8(luaL_checknumber(L, 4)), Uint8(luaL_checknumber(L, 5))));
    return 1;
}

// count(surface or nil, r, g, b[, tolerance[, x, y, w, h]]) -> number of pixels
// whose colour is within tolerance of (r, g, b) in the given rectangle.
int t_count(lua_State *L) {
    SDL_Surface *s = arg_surface(L, 1);
    int r = int(luaL_checknumber(L, 2)), g = int(luaL_checknumber(L, 3)), b = int(luaL_checknumber(L, 4));
    int tol = int(luaL_optnumber(L, 5, 0));
    if (!s || !s->pixels) return 0;
    int x0 = int(luaL_optnumber(L, 6, 0)), y0 = int(luaL_optnumber(L, 7, 0));
    int x1 = x0 + int(luaL_optnumber(L, 8, s->w)), y1 = y0 + int(luaL_optnumber(L, 9, s->h));
    if (x0 < 0) x0 = 0;
    if (y0 < 0) y0 = 0;
    if (x1 > s->w) x1 = s->w;
    if (y1 > s->h) y1 = s->h;
    if (SDL_MUSTLOCK(s)) SDL_LockSurface(s);
    long n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            Uint8 pr, pg, pb;
            SDL_GetRGB(raw_pixel(s, x, y), s->format, &pr, &pg, &pb);
            if (abs(pr - r) <= tol && abs(pg - g) <= tol && abs(pb - b) <= tol) ++n;
        }
    if (SDL_MUSTLOCK(s)) SDL_UnlockSurface(s);
    lua_pushnumber(L, double(n));
    return 1;
}

// save_bmp(surface or nil, path): writes the surface to a BMP file (for debugging).
int t_save_bmp(lua_State *L) {
    SDL_Surface *s = arg_surface(L, 1);
    lua_pushboolean(L, s && SDL_SaveBMP(s, luaL_checkstring(L, 2)) == 0);
    return 1;
}

const luaL_Reg funcs[] = {
    {"globals", t_globals}, {"cell", t_cell},       {"surface", t_surface},
    {"pixel", t_pixel},     {"rgba", t_rgba},       {"maprgba", t_maprgba},
    {"count", t_count},     {"save_bmp", t_save_bmp}, {nullptr, nullptr}};
orvixtest::Registrar reg(funcs);

}  // namespace
