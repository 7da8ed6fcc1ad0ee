// TrueType text: fonts, and one line of UTF-8 text drawn or rendered to a surface.
#include "args.h"
#include "assets.h"
#include "caches.h"
#include "functions.h"
#include "handles.h"
#include "state.h"
#include "surfaces.h"

#include <cstdio>

namespace orvix {

int l_loadFont(lua_State *L) {
    const char *path = lua_tostring(L, 1);
    int size = arg_int(L, 2);
    // Without a running font engine, or without a path, there is nothing to
    // open.
    TTF_Font *font = (path && font_size_usable(size) && display_running()) ? open_font(path, size) : nullptr;
    if (!font) fatal("Couldn't load font %s. Exiting.\n", path ? path : "(null)");
    handle_add(font, Kind::Font);
    int advance = 0;
    if (TTF_FontFaceIsFixedWidth(font)) TTF_GlyphMetrics(font, 'a', nullptr, nullptr, nullptr, nullptr, &advance);
    lua_pushlightuserdata(L, font);
    lua_pushnumber(L, advance);
    return 2;
}

// The surface-mode result for a text that renders to nothing (the empty
// string, a text too wide for a surface, no live font): a surface with no
// columns, as high as the font, so that script code blitting it goes on
// working. Without columns it has no pixel memory, so it can always be made;
// SDL cannot hold heights above 65535.
static SDL_Surface *empty_text(TTF_Font *font) {
    int h = font ? TTF_FontHeight(font) : 0;
    if (h < 0) h = 0;
    if (h > 65535) h = 65535;
    SDL_Surface *blank = SDL_CreateRGBSurface(SDL_SWSURFACE | SDL_SRCALPHA, 0, h, 32, 0, 0, 0, 0xFF);
    return blank ? to_display_format(blank) : nullptr;
}

int l_printFont(lua_State *L) {
    TTF_Font *font = static_cast<TTF_Font *>(arg_handle(L, 1, Kind::Font));
    size_t len = 0;
    const char *text = lua_tolstring(L, 2, &len);
    SDL_Color c = {arg_u8(L, 3), arg_u8(L, 4), arg_u8(L, 5), 0};
    Sint16 x = arg_s16(L, 6);
    Sint16 y = arg_s16(L, 7);
    SDL_Surface *dst = arg_target(L, 8);
    bool as_surface = lua_toboolean(L, 9);
    // Nothing to draw on: skip the rendering too.
    if (!display_running() || (!as_surface && !dst)) return 0;

    // kept: the rendering belongs to the text cache, which frees it; the
    // script only ever gets a copy of it.
    bool kept = false;
    SDL_Surface *rendered = (font && text && *text) ? text_rendering(font, text, len, c, &kept) : nullptr;
    if (as_surface) {
        SDL_Surface *s = nullptr;
        if (rendered) s = kept ? display_copy(rendered) : to_display_format(rendered);
        // A text that rendered but could not be converted (no memory for the
        // copy) is handed back empty as well.
        if (!s) s = empty_text(font);
        return s ? push_surface(L, s) : 0;
    }
    if (!rendered) return 0;
    SDL_Rect r = {x, y, static_cast<Uint16>(rendered->w), static_cast<Uint16>(rendered->h)};
    SDL_UpperBlit(rendered, nullptr, dst, &r);
    if (!kept) SDL_FreeSurface(rendered);
    return 0;
}

int l_freeFont(lua_State *L) {
    void *p = lua_touserdata(L, 1);
    if (!p || !handle_remove(p, Kind::Font)) return 0;
    // Its texts go first: the next font may be opened at the same address.
    text_cache_drop_font(static_cast<TTF_Font *>(p));
    TTF_CloseFont(static_cast<TTF_Font *>(p));
    return 0;
}


// The size of printFont's surface for the same text, measured without
// rendering it: SDL_ttf makes that surface exactly as large as it measures
// the text. A text that renders to nothing (the empty string, a text that is
// not a string or number, one wider than a surface can be) gets printFont's
// empty surface: no columns, as high as the font.
int l_textSize(lua_State *L) {
    TTF_Font *font = static_cast<TTF_Font *>(arg_handle(L, 1, Kind::Font));
    const char *text = lua_tostring(L, 2);
    if (!font) {
        lua_pushnil(L);
        return 1;
    }
    int w = 0, h = 0;
    if (!text || !*text || TTF_SizeUTF8(font, text, &w, &h) < 0 || w <= 0 || w > kMaxSide) {
        w = 0;
        h = TTF_FontHeight(font);
        if (h < 0) h = 0;
        if (h > 65535) h = 65535;
    }
    lua_pushnumber(L, w);
    lua_pushnumber(L, h);
    return 2;
}

int l_fontMetrics(lua_State *L) {
    TTF_Font *font = static_cast<TTF_Font *>(arg_handle(L, 1, Kind::Font));
    if (!font) {
        lua_pushnil(L);
        return 1;
    }
    lua_pushnumber(L, TTF_FontHeight(font));
    lua_pushnumber(L, TTF_FontAscent(font));
    lua_pushnumber(L, TTF_FontDescent(font));
    lua_pushnumber(L, TTF_FontLineSkip(font));
    return 4;
}

}  // namespace orvix
