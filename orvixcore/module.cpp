// Module entry point, registration table and the shared globals.
#include "orvix.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

extern "C" {
SDL_Surface *gScreen = nullptr;
int sound_on = 1;
int gl_on = 0;
int curses_on = 0;
int gNumpads = 0;
SDL_Joystick **gPads = nullptr;
CursesContext CC = {};
}

namespace orvix {

Display g_display = Display::NotStarted;
bool g_mixer_open = false;

void fatal(const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    vprintf(fmt, ap);
    va_end(ap);
    exit(1);
}

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

static const luaL_Reg R[] = {
    {"init", l_init},
    {"quit", l_quit},
    {"fill", l_fill},
    {"flip", l_flip},
    {"input", l_input},
    {"mouse", l_mouse},
    {"isKeyDown", l_isKeyDown},
    {"loadImage", l_loadImage},
    {"makeSurf", l_makeSurf},
    {"blit", l_blit},
    {"freeSurf", l_freeSurf},
    {"timer", l_timer},
    {"putpix", l_putpix},
    {"loadFont", l_loadFont},
    {"printFont", l_printFont},
    {"freeFont", l_freeFont},
    {"showCursor", l_showCursor},
    {"draw", l_draw},
    {"drawTri", l_drawTri},
    {"loadSound", l_loadSound},
    {"loadMusic", l_loadMusic},
    {"playSound", l_playSound},
    {"playMusic", l_playMusic},
    {"pauseMusic", l_pauseMusic},
    {"musicVolume", l_musicVolume},
    {"freeSound", l_freeSound},
    {"freeMusic", l_freeMusic},
    {"curses_init", l_curses_init},
    {"curses_refresh", l_curses_refresh},
    {"curses_addch", l_curses_addch},
    {"curses_setcol", l_curses_setcol},
    {"curses_fill", l_curses_fill},
    {nullptr, nullptr},
};

}  // namespace orvix

extern "C" int luaopen_orvixcore(lua_State *L) {
    luaL_register(L, "orvixcore", orvix::R);
    return 1;
}
