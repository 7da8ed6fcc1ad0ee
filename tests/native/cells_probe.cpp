// What the character-cell tests need beside the shared probes: an
// address-space limit (to make allocations fail for real), a font's own
// metrics, the pixels the X server shows in the window, and the grid drawn
// without any cache.
#include "orvixtest.h"
#include "globals.h"

#include <SDL_ttf.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

// limit_address_space(extra_bytes) -> the new limit: the process may map at
// most extra_bytes more than it has mapped now.
int t_limit_address_space(lua_State *L) {
    double extra = luaL_checknumber(L, 1);
    FILE *f = fopen("/proc/self/statm", "r");
    unsigned long pages = 0;
    if (!f) return 0;
    int got = fscanf(f, "%lu", &pages);
    fclose(f);
    if (got != 1) return 0;
    rlimit lim;
    if (getrlimit(RLIMIT_AS, &lim) != 0) return 0;
    lim.rlim_cur = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) +
                   static_cast<rlim_t>(extra);
    if (setrlimit(RLIMIT_AS, &lim) != 0) return 0;
    lua_pushnumber(L, static_cast<double>(lim.rlim_cur));
    return 1;
}

// font_metrics(path, size) -> advance of '@' (nil when the font has no
// metrics for it), line skip, height; measured on a font opened here.
int t_font_metrics(lua_State *L) {
    const char *path = luaL_checkstring(L, 1);
    int size = static_cast<int>(luaL_checknumber(L, 2));
    if (TTF_Init() < 0) return 0;
    TTF_Font *font = TTF_OpenFont(path, size);
    if (!font) {
        TTF_Quit();
        return 0;
    }
    int advance = 0;
    if (TTF_GlyphMetrics(font, '@', nullptr, nullptr, nullptr, nullptr, &advance) == 0)
        lua_pushnumber(L, advance);
    else
        lua_pushnil(L);
    lua_pushnumber(L, TTF_FontLineSkip(font));
    lua_pushnumber(L, TTF_FontHeight(font));
    TTF_CloseFont(font);
    TTF_Quit();
    return 3;
}

// window_count(r, g, b, x, y, w, h) -> how many pixels of that rectangle of
// SDL's X11 window the X server shows in exactly that colour. Nothing when
// there is no X11 window.
int t_window_count(lua_State *L) {
    int want[3];
    for (int k = 0; k < 3; ++k) want[k] = static_cast<int>(luaL_checknumber(L, 1 + k));
    int x = static_cast<int>(luaL_checknumber(L, 4)), y = static_cast<int>(luaL_checknumber(L, 5));
    int w = static_cast<int>(luaL_checknumber(L, 6)), h = static_cast<int>(luaL_checknumber(L, 7));
    long n = 0;
    bool ok = orvixtest::window_pixels(x, y, w, h, [&](int, int, const int *rgb) {
        if (rgb[0] == want[0] && rgb[1] == want[1] && rgb[2] == want[2]) ++n;
    });
    if (!ok) return 0;
    lua_pushnumber(L, static_cast<double>(n));
    return 1;
}

// naive_refresh() -> true: draws the grid onto the screen the way it is
// drawn without a cache: for every cell, column by column, render its glyph,
// fill its background, blit the glyph, free it. Nothing without a grid.
int t_naive_refresh(lua_State *L) {
    auto cc = static_cast<CursesContext *>(orvixtest::core_symbol("CC"));
    SDL_Surface *screen = orvixtest::arg_surface(L, 1);
    if (!cc || !cc->chars || !screen) return 0;
    char text[2] = {0, 0};
    for (int x = 0; x < cc->cols; ++x)
        for (int y = 0; y < cc->rows; ++y) {
            int i = x + y * cc->cols;
            text[0] = static_cast<char>(cc->chars[i]);
            SDL_Surface *glyph = TTF_RenderText_Blended(cc->font, text, cc->fg[i]);
            SDL_Rect r = {Sint16(x * cc->cellW), Sint16(y * cc->cellH), Uint16(cc->cellW), Uint16(cc->cellH)};
            SDL_FillRect(screen, &r, SDL_MapRGB(screen->format, cc->bg[i].r, cc->bg[i].g, cc->bg[i].b));
            if (!glyph) continue;
            r = {Sint16(x * cc->cellW), Sint16(y * cc->cellH), Uint16(cc->cellW), Uint16(cc->cellH)};
            SDL_UpperBlit(glyph, nullptr, screen, &r);
            SDL_FreeSurface(glyph);
        }
    lua_pushboolean(L, 1);
    return 1;
}

const luaL_Reg funcs[] = {{"naive_refresh", t_naive_refresh},
                          {"limit_address_space", t_limit_address_space},
                          {"font_metrics", t_font_metrics},
                          {"window_count", t_window_count},
                          {nullptr, nullptr}};
orvixtest::Registrar reg(funcs);

}  // namespace
