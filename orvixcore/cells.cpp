// The character-cell screen: a grid of coloured characters drawn with one
// TrueType font, like a coloured text terminal.
#include "args.h"
#include "assets.h"
#include "caches.h"
#include "functions.h"
#include "state.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace orvix {

// The grid may be used while the mode is up; after quit its storage is gone.
static bool grid_live() { return curses_on && g_display == Display::Running; }

// Only printable ASCII is kept; every other byte becomes a space.
static unsigned char cell_char(unsigned char b) { return (b >= 33 && b <= 126) ? b : ' '; }

// The first byte of a string or number argument, or -1 for any other value.
static int arg_char(lua_State *L, int i) {
    int t = lua_type(L, i);
    if (t != LUA_TSTRING && t != LUA_TNUMBER) return -1;
    const char *s = lua_tostring(L, i);
    return cell_char(static_cast<unsigned char>(s[0]));
}

// A colour component: absent or nil reads as -1 (leave unchanged); anything
// else that is not a number raises the standard bad-argument error.
static int arg_component(lua_State *L, int i) { return to_int(luaL_optnumber(L, i, -1)); }

static bool inside(int x, int y) { return x >= 0 && x < CC.cols && y >= 0 && y < CC.rows; }

int l_curses_init(lua_State *L) {
    // A second start, or one after init or quit, is ignored: it would open a
    // second font and grid over the first ones, or reach a closed SDL. It
    // answers with the cell size the grid has (0, 0 in the pixel mode).
    if (g_display != Display::NotStarted) {
        lua_pushnumber(L, CC.cellW);
        lua_pushnumber(L, CC.cellH);
        return 2;
    }
    CC.cols = arg_int(L, 1);
    CC.rows = arg_int(L, 2);
    const char *path = lua_tostring(L, 3);
    int size = arg_int(L, 4);

    printf("Orvix init (%dx%d), curses mode\n", CC.cols, CC.rows);
    start_sdl(SDL_INIT_VIDEO);
    start_ttf();
    start_mixer();

    if (!path)
        SDL_SetError("no font path");
    else if (!font_size_usable(size))
        SDL_SetError("font size out of range");
    else
        CC.font = open_font(path, size);
    if (!CC.font) fatal("Couldn't load font: %s\n", SDL_GetError());

    // A face with no metrics for '@' still gets a usable cell: half its height.
    if (TTF_GlyphMetrics(CC.font, '@', nullptr, nullptr, nullptr, nullptr, &CC.cellW) < 0 || CC.cellW < 1)
        CC.cellW = TTF_FontHeight(CC.font) / 2 > 0 ? TTF_FontHeight(CC.font) / 2 : 1;
    CC.cellH = TTF_FontLineSkip(CC.font);
    if (CC.cellH < 1) CC.cellH = 1;

    // Grids with no cells, or too large for a window, fail like any mode the
    // video driver refuses; the products are formed in 64 bits so that they
    // are reported as they are. Within the bound, count cannot overflow.
    long long width = static_cast<long long>(CC.cellW) * CC.cols;
    long long height = static_cast<long long>(CC.cellH) * CC.rows;
    if (CC.cols < 1 || CC.rows < 1 || width > kMaxSide || height > kMaxWindowHeight) {
        SDL_SetError("grid size out of range");
        gScreen = nullptr;
    } else {
        gScreen = SDL_SetVideoMode(static_cast<int>(width), static_cast<int>(height), 32,
                                   SDL_HWSURFACE | SDL_DOUBLEBUF);
    }
    if (!gScreen) fatal("Couldn't set %lldx%lld video mode: %s\n", width, height, SDL_GetError());

    CC.count = CC.cols * CC.rows;
    size_t n = static_cast<size_t>(CC.count);
    CC.chars = static_cast<unsigned char *>(malloc(n));
    CC.fg = static_cast<SDL_Color *>(malloc(n * sizeof(SDL_Color)));
    CC.bg = static_cast<SDL_Color *>(malloc(n * sizeof(SDL_Color)));
    if (!CC.chars || !CC.fg || !CC.bg) {
        puts("Couldn't allocate memory for curses data.");
        exit(1);
    }
    memset(CC.chars, ' ', n);
    memset(CC.fg, 0, n * sizeof(SDL_Color));
    memset(CC.bg, 255, n * sizeof(SDL_Color));

    curses_on = 1;
    started();
    lua_pushnumber(L, CC.cellW);
    lua_pushnumber(L, CC.cellH);
    return 2;
}

void cells_release() {
    glyph_cache_release();
    TTF_CloseFont(CC.font);
    free(CC.chars);
    free(CC.fg);
    free(CC.bg);
}

int l_curses_addch(lua_State *L) {
    int c = arg_char(L, 1);
    int x = arg_int(L, 2);
    int y = arg_int(L, 3);
    // A value that is neither a string nor a number leaves the cell alone.
    if (!grid_live() || c < 0 || !inside(x, y)) return 0;
    CC.chars[x + y * CC.cols] = static_cast<unsigned char>(c);
    return 0;
}

int l_curses_setcol(lua_State *L) {
    int x = arg_int(L, 1);
    int y = arg_int(L, 2);
    int comp[6];
    for (int k = 0; k < 6; ++k) comp[k] = arg_component(L, 3 + k);
    if (!grid_live() || !inside(x, y)) return 0;
    int i = x + y * CC.cols;
    Uint8 *members[6] = {&CC.fg[i].r, &CC.fg[i].g, &CC.fg[i].b, &CC.bg[i].r, &CC.bg[i].g, &CC.bg[i].b};
    for (int k = 0; k < 6; ++k)
        if (comp[k] >= 0) *members[k] = to_u8(comp[k]);
    return 0;
}

// A colour changes only as a whole: all three components must be given.
static bool whole_colour(const int *c) { return c[0] >= 0 && c[1] >= 0 && c[2] >= 0; }

int l_curses_fill(lua_State *L) {
    int x = arg_int(L, 1);
    int y = arg_int(L, 2);
    int w = arg_int(L, 3);
    int h = arg_int(L, 4);
    int c = arg_char(L, 5);
    int comp[6];
    for (int k = 0; k < 6; ++k) comp[k] = arg_component(L, 6 + k);
    if (!grid_live() || w <= 0 || h <= 0) return 0;

    // Clip the rectangle to the grid, in 64 bits so that x + w cannot overflow.
    long long x0 = x < 0 ? 0 : x, y0 = y < 0 ? 0 : y;
    long long x1 = static_cast<long long>(x) + w, y1 = static_cast<long long>(y) + h;
    if (x1 > CC.cols) x1 = CC.cols;
    if (y1 > CC.rows) y1 = CC.rows;
    bool set_fg = whole_colour(comp), set_bg = whole_colour(comp + 3);
    SDL_Color fg = {to_u8(comp[0]), to_u8(comp[1]), to_u8(comp[2]), 0};
    SDL_Color bg = {to_u8(comp[3]), to_u8(comp[4]), to_u8(comp[5]), 0};

    for (long long row = y0; row < y1; ++row) {
        for (long long col = x0; col < x1; ++col) {
            long long i = col + row * CC.cols;
            if (c >= 0) CC.chars[i] = static_cast<unsigned char>(c);
            // Only red, green and blue change; the fourth byte stays.
            if (set_fg) { CC.fg[i].r = fg.r; CC.fg[i].g = fg.g; CC.fg[i].b = fg.b; }
            if (set_bg) { CC.bg[i].r = bg.r; CC.bg[i].g = bg.g; CC.bg[i].b = bg.b; }
        }
    }
    return 0;
}

int l_curses_refresh(lua_State *) {
    if (!grid_live() || CC.cols <= 0 || CC.rows <= 0) return 0;
    // Column by column: a glyph wider or taller than its cell reaches only
    // into cells drawn later, whose background covers the overflow.
    for (int x = 0; x < CC.cols; ++x) {
        for (int y = 0; y < CC.rows; ++y) {
            int i = x + y * CC.cols;
            // Glyphs come from the glyph cache, which keeps each character in
            // each text colour once it is drawn again.
            CachedSurface glyph;
            bool kept = false;
            bool drawn = cell_glyph(i, CC.chars[i], CC.fg[i], &glyph, &kept);
            Uint32 bg = SDL_MapRGB(gScreen->format, CC.bg[i].r, CC.bg[i].g, CC.bg[i].b);
            SDL_Rect r = {static_cast<Sint16>(x * CC.cellW), static_cast<Sint16>(y * CC.cellH),
                          static_cast<Uint16>(CC.cellW), static_cast<Uint16>(CC.cellH)};
            SDL_FillRect(gScreen, &r, bg);
            if (!drawn) continue;  // the cell keeps its background
            // The fill clips the rectangle in place: set it again for the blit.
            r = {static_cast<Sint16>(x * CC.cellW), static_cast<Sint16>(y * CC.cellH),
                 static_cast<Uint16>(CC.cellW), static_cast<Uint16>(CC.cellH)};
            SDL_UpperBlit(glyph.surface, &glyph.rect, gScreen, &r);
            if (!kept) SDL_FreeSurface(glyph.surface);
        }
    }
    return 0;
}

}  // namespace orvix
